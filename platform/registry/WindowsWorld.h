#pragma once

// Which Windows world the program reads: a Windows system's disk (a mounted partition, an image,
// a copy of its folders) or a Wine prefix.

#include <QChar>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

// What the command line says of the world.
struct WorldOptions {
    QString windowsRoot;                           // --windows DIR (else $ZANTREL_WINDOWS)
    std::vector<std::pair<QChar, QString>> drives; // --drive D=/mnt/data, each
    QString user;                                  // --windows-user NAME
};

// Reads "D=/mnt/data" (any drive letter but C:, which is the root itself); false for anything else.
bool ParseDriveOption(const QString& text, std::pair<QChar, QString>& drive);

// Makes the world every later call reads: the Windows root the options give, else the one
// $ZANTREL_WINDOWS names (with the options' drives and user); else the current Wine prefix stays
// (the one $WINEPREFIX, else ~/.wine, names, or one a caller set).
void UseWorld(const WorldOptions& options);

// Why the current world cannot be read, naming what was expected where: a Windows root that is no
// folder, has no Windows folder or no SOFTWARE hive, or has no profile of the user asked for.
// Empty when it can be read (a Wine prefix's own problems are PrefixCheck's).
QString WorldError();

// What a user should know about the world read, one plain English sentence each: on a Windows
// root, which one (and that $WINEPREFIX is not read, when it is set), which user, hives not closed
// cleanly or missing. Empty for a Wine prefix.
QStringList WorldNotices();
// The same in short Spanish lines, for the window's diagnostics.
QStringList WorldNotas();
