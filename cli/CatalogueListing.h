#pragma once

// The text zantrel-cli prints for the tree and the catalogue.

#include "output/OutputFormat.h"

#include <QByteArray>
#include <QString>

class TreeControl;

// The listings the command-line tool prints, in UTF-8 with one record a line. A field is
// written as a TSV field (OutputText::tsvField): a backslash, tab, CR, LF or NUL as \\, \t, \r,
// \n or \0, any other control character as \xNN, so every field stays on its line and no text
// reaches the terminal as a control sequence.
namespace CatalogueListing {

QString escapeField(const QString& field);

// One line per node in tree order: two spaces per depth, key, tab, text, tab, image index;
// written to `sink` a line at a time.
void writeTree(const TreeControl& tree, const OutputSink& sink);
// The same, gathered into one array.
QByteArray tree(const TreeControl& tree);

}
