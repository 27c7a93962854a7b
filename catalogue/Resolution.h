#pragma once

#include <QString>

class Catalogue;

// Turns a project file's Reference= line into a dependency entry of project `projectIndex`
// at index `DependencyCounter`, through the library's registration, else the path written in
// the line; advances the reference key counter and `DependencyCounter`. A line that cannot be
// resolved adds nothing and shows nothing.
void AgregaReferencia(Catalogue& catalogue, int projectIndex, int& DependencyCounter, const QString& line);

// The same for an Object= line, resolved through the control library's registration only.
void AgregaComponente(Catalogue& catalogue, int projectIndex, int& DependencyCounter, const QString& line);
