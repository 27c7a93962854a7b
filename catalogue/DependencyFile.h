#pragma once

// The dependency-file reader: what a Visual Basic dependency file says of the files it describes,
// each the files it uses and the folder it is installed in. A component's file lies beside it
// under the same name (MSCOMCTL.DEP for MSCOMCTL.OCX); the development environment's VB6DEP.INI
// (VB5DEP.INI before it) describes many files in one.
//
// The file is INI text, read line by line as PrivateProfile reads a profile: one section per file
// named by the file ("[MSCOMCTL.OCX]"), keys in any case, ';' comment lines. A file's language
// section adds the files it needs under one language: "[MSCOMCTL.OCX <0009>]", the language's
// primary identifier in hex. A section written twice reads as one, each key taken from its first
// occurrence, as GetString reads it.
//
// The reader reads and never resolves: the caller finds the files and expands the folders.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The folders a Dest value may start with, as $(Name).
enum class FolderMacro {
    None,              // no macro: a path, or no Dest at all
    AppPath,           // the folder the user installs the program in
    WinSysPath,        // the Windows system folder
    WinSysPathSysFile, // the same, the file kept when the program is removed
    WinPath,           // the Windows folder
    CommonFiles,       // Program Files\Common Files
    CommonFilesSys,    // Program Files\Common Files\System
    ProgramFiles,      // Program Files
    MSDAOPath,         // the folder the registry names for the data access objects
    Font,              // the Windows Fonts folder
    Unknown,           // another name: see `macroName`
};

// A Dest value split: "$(AppPath)\Samples" is AppPath and "\Samples".
struct Destination {
    QString written;     // the value as written; empty when the section has no Dest (the file
                         // then goes where the file that uses it goes)
    FolderMacro macro = FolderMacro::None;
    QString macroName;   // the name between "$(" and ")" as written; empty without a macro
    QString rest;        // what follows the macro; the whole value when there is no macro
};

// What one section says of one file.
struct DependencySection {
    int line = 0;         // the line of its first header, counted from 1
    QString fileName;     // the file as the header names it: "MSCOMCTL.OCX"
    QString language;     // "0009" for "[MSCOMCTL.OCX <0009>]"; empty for the file's own section
    QStringList uses;     // Uses1, Uses2, ... in order, up to the first one missing or empty
    Destination dest;     // Dest
    QString registration; // Register as written: "$(DLLSelfRegister)", "$(TLBRegister)", ...
    QString version;      // Version as written: "6.1.97.82"
};

struct DependencyFile {
    QList<DependencySection> sections; // in the order their first headers come
    QString version;                   // Version of the [Version] section: the file's own version
    QStringList doNotRedistribute;     // the files [Do Not Redistribute] lists (VB6DEP.INI)
    // Why the file was not read to its end, or at all; empty when it was.
    QString problem;

    // The section of `fileName`, or of its `language` section when one is given, both compared
    // ignoring case; nullptr when there is none.
    const DependencySection* find(const QString& fileName, const QString& language = QString()) const;
};

// Largest file read, in bytes; of a larger one the lines within the bound are read. Dependency
// files list a few files each, and even VB6DEP.INI, which lists every file the development
// environment knows, is far smaller.
inline constexpr qsizetype kMaxDependencyFileSize = 4 * 1024 * 1024;

// Reads a dependency file's bytes, in the ANSI code page.
DependencyFile ReadDependencyText(const QByteArray& contents);
// Reads the regular file at `hostPath` (links followed; a FIFO or device is refused without
// blocking). A file that cannot be read gives no sections and the reason in `problem`.
DependencyFile ReadDependencyFile(const QString& hostPath);
