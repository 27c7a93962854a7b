#pragma once

// Where the Windows loader finds a DLL a module imports or a program loads by name, in the
// Windows world being read.

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// Which program the search is for: a 32-bit one (Visual Basic's) sees C:\windows\system32 as the
// 32-bit system folder; a 64-bit one sees system32 itself.
enum class LoaderArch { X86, Amd64 };

struct DllLocation {
    QString windowsPath; // the file the loader would load; empty when it finds none
    // The system provides it, a setup never ships it: an API set (it names no file), or a name
    // listed under KnownDLLs (always the system folder's).
    bool system = false;
    bool apiSet = false;
};

// The loader's search for one world, made once per load: KnownDLLs
// (HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs) and the folders of PATH are
// read when made; each folder's answer for a name is looked up once.
//
//   API sets (api-ms-win-*, ext-ms-*)  the system's, no file
//   KnownDLLs                          the system folder
//   a name with a folder in it         that path (relative: from the current folder)
//   anything else                      the first folder that has it, in order: `first` (the
//                                      library's own folder for an in-process server, which COM
//                                      loads with the altered search order; the program's folder
//                                      for the program and what it loads), the system folder,
//                                      the 16-bit system folder (C:\windows\system), the Windows
//                                      folder, the current folder, the folders of PATH. A program
//                                      image for another machine (a 32-bit copy for a 64-bit
//                                      program) is passed over as the loader passes it over; when
//                                      the search finds nothing else, the first such copy is the
//                                      answer, the file the load fails on
//
// The current folder is the program's, where a program started from its shortcut runs.
class DllSearch {
public:
    explicit DllSearch(LoaderArch arch = LoaderArch::X86);

    DllLocation find(const QString& name, const QString& first, const QString& current) const;

    LoaderArch arch() const { return arch_; }
    // The system folder as this program sees it (C:\windows\system32).
    static QString systemFolder() { return QStringLiteral("C:\\windows\\system32"); }

private:
    // What a folder holds under a name, as far as the search is concerned.
    enum class Candidate : unsigned char { None, Loadable, OtherMachine };

    QString inFolder(const QString& folder, const QString& name) const;
    Candidate candidate(const QString& windowsPath) const;

    LoaderArch arch_;
    QSet<QString> knownDlls_; // lower-cased file names
    QStringList path_;        // PATH's folders, as Windows paths
    mutable QHash<QString, Candidate> candidates_; // lower-cased Windows path -> what is there
};

// True for the names of Windows' API sets, which map to system DLLs and are never files.
bool IsApiSetName(const QString& name);
