#pragma once

// The load: the project files of a folder read into the catalogue and shown as the tree.

#include "catalogue/TreeKeys.h"

#include <QStringList>

class Catalogue;
struct LoadContext;
struct MainControls;


// Rebuilds the catalogue and the tree from the project files that `controls.File1` lists:
// root "Sistemas", one node per project keyed "k<i>", and under it the "Referencias" and
// "Componentes" branches with one leaf per dependency. Reports the file being read and
// "<n> de <N>" in the status bar, advances the progress bar, and lets window messages run once
// per file. An empty list shows "No hay proyectos en la ruta especificada.". A control that
// refuses an operation raises ProgramError and ends the load where it stands.
void CargaProyectos(Catalogue& catalogue, MainControls& controls);
// The same with the load's memory in `load`, which the caller made fresh for this load and may
// read afterwards.
void CargaProyectos(Catalogue& catalogue, MainControls& controls, LoadContext& load);
// The same over `projectFiles`, full Windows paths in load order, instead of the file list; the
// status bar shows each full path.
void CargaProyectos(Catalogue& catalogue, MainControls& controls, LoadContext& load, const QStringList& projectFiles);

// The two steps of a load of the folder the catalogue's ScanPath names, as the main window and
// zantrel-cli run it. First the folder list is pointed at the folder (and lists it afresh when
// it already shows it, so files added since appear); a folder that cannot be listed shows
// "Carga : " with the error's description and gives false, with the catalogue and tree untouched.
bool ListScanPath(const Catalogue& catalogue, MainControls& controls);
// Then CargaProyectos runs over the listed files; a control that refuses an operation ends the
// load where it stands, keeping what it built. Memory running out anywhere in the load ends it
// too, with "Carga : Out of memory", and gives false.
bool LoadListedProjects(Catalogue& catalogue, MainControls& controls, LoadContext& load);
// The load of a list of project files (a folder tree's), ended as above.
bool LoadProjectFiles(Catalogue& catalogue, MainControls& controls, LoadContext& load, const QStringList& projectFiles);
