#pragma once

#include <QString>

// The user's documents folder as a host path: what `xdg-user-dir DOCUMENTS` names when that folder
// exists, else the home folder.
QString DocumentsFolder();

// Whether a new file can be created in the host folder `hostFolder`, found by creating (and
// removing) one: permissions, read-only mounts and a missing folder all answer false.
bool CanWriteInFolder(const QString& hostFolder);

// The folder the export writes into and the report's save dialog starts in, in Windows form: the
// program's own folder where it can be written (a build tree, a portable copy), else the user's
// documents folder (an installed program, whose folder belongs to the system).
QString OutputFolder();

// The same choice for a program in the host folder `programHostFolder`.
QString OutputFolderFor(const QString& programHostFolder);
