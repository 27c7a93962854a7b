#pragma once

// zantrel-cli graph: the projects, the libraries they use, the projects they reference and what
// is missing, in Graphviz's DOT language.

#include "catalogue/Closure.h"

#include <QByteArray>
#include <vector>

class Inventory;

// The graph of a finished load, in UTF-8: a box per project, a node per distinct library, a
// dashed box per referenced project file that was not loaded, a red octagon per distinct missing
// line (in a box of their own), and each edge once, in the order first met.
// With `closure` (graph --deep), what the programs need beyond their lines too: a node per file
// a setup ships (the system's files are left out), reached by thin edges from what needs it, and
// what cannot be had as red nodes with its reason.
QByteArray DependencyGraph(const Inventory& inventory, const std::vector<ClosureRecord>* closure = nullptr);
