#pragma once

#include <QString>
#include <QStringList>

// Something below the folder that the walk left out on purpose, and why.
struct SkippedTreeEntry {
    QString windowsPath; // a folder's Windows path; empty for a name no Windows path can take
    QString hostPath;    // the host path of what was left out
    QString reason;      // "a pseudo file system (proc)", "its name holds a backslash"
};

// The project files of a folder and of every folder below it, for a load of a whole tree.
struct ProjectTreeListing {
    QStringList files;        // full Windows paths in load order
    QStringList unreadable;   // Windows paths of folders that could not be read
    QList<SkippedTreeEntry> skipped;
};

// Lists the files matching `pattern` of the folder at Windows path `folder`, in the order the
// file list of a load gives them (ignoring case, no hidden files), then the folders below it
// one by one, sorted ignoring case, depth first. Hidden folders (a name starting with ".") are
// left out. A link to a folder is followed the first time the folder is met and never again,
// so a link loop ends. A folder that cannot be read is named in `unreadable` and the walk goes
// on. A folder on a pseudo file system (/proc, /sys and the like, see PseudoFileSystemOf), met
// through a link or as FOLDER itself, is not entered, and a file or folder whose host name holds
// a backslash is not taken (as a Windows path it would name another entry): both are named in
// `skipped`. Raises ProgramError 76 when `folder` itself does not exist.
ProjectTreeListing ListProjectTree(const QString& folder, const QString& pattern = QStringLiteral("*.vbp"));
