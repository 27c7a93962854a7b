#pragma once

#include <QString>

// The user's documents folder as a host path: what `xdg-user-dir DOCUMENTS` names when that folder
// exists, else the home folder.
QString DocumentsFolder();

// Whether a new file can be created in the host folder `hostFolder`, found by creating (and
// removing) one: permissions, read-only mounts and a missing folder all answer false.
bool CanWriteInFolder(const QString& hostFolder);

// Whether a program in the host folder `programHostFolder` is installed: the folder lies below a
// "usr" or "opt" folder (/usr/bin, /usr/local/bin, /opt/zantrel/bin, /tmp/x/usr/bin) or is
// named "bin". Names compare exactly, as the host's do.
bool IsInstalledProgramFolder(const QString& programHostFolder);

// The folder the export writes into and the report's save dialog starts in, in Windows form: the
// user's documents folder for an installed program (its folder belongs to the system, even where
// root can write it); otherwise (a build tree, a portable copy) the program's own folder where it
// can be written, else the documents folder.
QString OutputFolder();

// The same choice for a program in the host folder `programHostFolder`.
QString OutputFolderFor(const QString& programHostFolder);
