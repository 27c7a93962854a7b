#pragma once

// zantrel-cli graph: the projects, the libraries they use, the projects they reference and what
// is missing, in Graphviz's DOT language.

#include <QByteArray>

class Inventory;

// The graph of a finished load, in UTF-8: a box per project, a node per distinct library, a
// dashed box per referenced project file that was not loaded, a red octagon per distinct missing
// line (in a box of their own), and each edge once, in the order first met.
QByteArray DependencyGraph(const Inventory& inventory);
