#pragma once

#include "platform/registry/WindowsWorld.h"

#include <QString>
#include <QStringList>

// What the window is started with: at most one folder to load instead of the settings file's,
// and the Windows world to read.
struct WindowArguments {
    QString folder; // Windows form; empty: the settings file's folder, as without arguments
    WorldOptions world; // --windows DIR, --drive D=DIR, --windows-user NAME
};

// The usage text `zantrel --help` prints.
extern const char* const WindowUsage;

// Reads the window's arguments (without the program's name) into `arguments`. FOLDER is a Windows
// path seen through the current prefix or a host path (relative to the working folder); it must
// name an existing folder. "--" ends the options, so a folder may start with a dash. Returns -1
// when the window starts; else the exit status to end with: 0 after --help or --version (printed
// on standard output), 2 after wrong usage, 1 when FOLDER is not an existing folder or the
// Windows root cannot be read (the problem written to standard error). Makes the world the
// options name the current one (UseWorld) before looking at FOLDER.
int ReadWindowArguments(const QStringList& args, WindowArguments& arguments);
