#pragma once

// A Wine prefix laid out as a Windows machine's disk, for the tests that read the same machine
// both ways: its registry written into hive files by hivexregedit where Windows keeps them.

#include "platform/registry/RegistryStore.h"

#include <QByteArray>
#include <QString>

// The .reg text (Windows Registry Editor 5.00) of the key `path` of `root` and every key below it,
// each value as hex(type) bytes so its data is kept exactly; the key's own path is written as
// HKEY_LOCAL_MACHINE\SOFTWARE, the stand-in MergeIntoHive takes for a hive's root.
QByteArray RegExportBelow(RegistryStore& store, RegistryRoot root, const QString& path);

// Writes the prefix's registry into hive files inside its own drive_c, which then is a Windows
// root: HKLM\Software as windows\system32\config\SOFTWARE, HKLM\System as SYSTEM, the user's
// keys as users\<user>\NTUSER.DAT. False with `error` set when a hive cannot be made.
bool MakeWindowsRootFromPrefix(const QString& prefixDir, const QString& user, QString* error);
