#pragma once

#include <QString>
#include <QStringList>

// The project files of a folder and of every folder below it, for a load of a whole tree.
struct ProjectTreeListing {
    QStringList files;        // full Windows paths in load order
    QStringList unreadable;   // Windows paths of folders that could not be read
};

// Lists the files matching `pattern` of the folder at Windows path `folder`, in the order the
// file list of a load gives them (ignoring case, no hidden files), then the folders below it
// one by one, sorted ignoring case, depth first. Hidden folders (a name starting with ".") are
// left out. A link to a folder is followed the first time the folder is met and never again,
// so a link loop ends. Raises ProgramError 76 when `folder` itself does not exist.
ProjectTreeListing ListProjectTree(const QString& folder, const QString& pattern = QStringLiteral("*.vbp"));
