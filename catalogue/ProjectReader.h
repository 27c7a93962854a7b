#pragma once

// The project-file reader: what one *.vbp file says of its kind, its name and its dependencies.

#include <QByteArray>
#include <QString>
#include <cstdint>

class Catalogue;
struct LoadContext;

// Reads one project file line by line: its Type line gives `Kind`, its Name line gives `Name`
// and turns `FileName` (the full path on entry) into the bare file name; every Reference= line
// goes to AgregaReferencia and every Object= line to AgregaComponente as it is met, which
// append to project `projectIndex` and advance `DependencyCounter`. A file that cannot be read
// to its end is reported in a message box "DeterminaTipoDeProyecto : <number> <description>";
// the outputs keep what they held then and the call returns normally.
void DeterminaTipoDeProyecto(Catalogue& catalogue, LoadContext& load, int projectIndex, int& DependencyCounter,
                             QString& FileName, std::int32_t& Kind, QString& Name);

// The same, reading `contents` as the bytes of the project file named `FileName` (a file's
// contents already in memory) with the same line reading. For tests and fuzzing.
void DeterminaTipoDeProyecto(Catalogue& catalogue, LoadContext& load, int projectIndex, int& DependencyCounter,
                             QString& FileName, const QByteArray& contents, std::int32_t& Kind, QString& Name);

