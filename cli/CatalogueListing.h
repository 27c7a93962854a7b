#pragma once

// The text zantrel-cli prints for the tree and the catalogue.

#include <QByteArray>
#include <QString>

class TreeControl;

// The listings the command-line tool prints, in UTF-8 with one record a line. A backslash,
// tab, CR or LF inside a field is written as \\, \t, \r or \n, so every field stays on its line.
namespace CatalogueListing {

QString escapeField(const QString& field);

// One line per node in tree order: two spaces per depth, key, tab, text, tab, image index.
QByteArray tree(const TreeControl& tree);

}
