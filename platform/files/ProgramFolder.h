#pragma once

#include <QString>

// The folder that holds the running program, in Windows form through the current prefix (Z: for
// a folder outside the prefix's drives), without a trailing backslash except for a drive's root.
QString ProgramFolder();

// Folder part of a Windows path as folder lists report it: no trailing backslash, except for
// a drive's root.
QString FolderListForm(const QString& windowsPath);
