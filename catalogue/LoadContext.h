#pragma once

#include "platform/files/FolderListing.h"
#include "platform/typelib/TypeLibService.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// A Reference= or Object= line of a project file that gave no dependency entry, or a reference
// to another project file, kept with its place; its fields are taken apart when written out
// (FieldsAsWritten), so keeping a line costs no more than sharing its text.
struct RecordedLine {
    int projectIndex = 0;   // the project's index in the catalogue
    int line = 0;           // 1-based line number in the project file
    QString kind;           // "reference", "component" or "project"
    QString text;           // the line as read
    QString target;         // a project reference: the referenced file's full Windows path
    QString reason;         // the first step that failed in plain words; empty: a project
                            // reference whose file exists
};

// A library as the project lines write it: a GUID at one version under one file name, with the
// projects whose lines write it so.
struct NamedLibrary {
    QString guid;          // upper case, in braces
    QString version;       // as the first line written so gives it
    QString file;          // the file name the line writes (its path's last part), as first met
    QString name;          // the name a Reference= line writes, else empty
    std::int32_t kind = 0; // 1 reference, 2 component
    std::vector<int> projects; // each once, in load order
};

// What a project file says of what it builds, for the closure: its compiled program and its
// source files, as written.
struct ProjectSources {
    QString exeName32;       // ExeName32= without quotes: the compiled program's file name
    QString path32;          // Path32= without quotes: its folder, relative to the project's
    QString title;           // Title= without quotes
    int majorVer = 1;        // MajorVer=, MinorVer=, RevisionVer=: the program's version
    int minorVer = 0;
    int revisionVer = 0;
    struct Source {
        QString kind;        // Form, Module, Class, UserControl, PropertyPage, UserDocument, Designer
        QString file;        // the file as written (after "Name; " for modules and classes)
        int line = 0;        // 1-based line number in the project file
    };
    std::vector<Source> sources;
};

// What one load of a folder knows beyond the catalogue: the project file being read, so that
// paths its lines write relative to its folder resolve, and what the resolvers have looked up.
// Within one load the registry, the libraries and their files are taken as unchanging, so each
// registration, library and file is looked at once however many lines name it. The load makes
// one and hands it to the reader and the resolvers; nothing of it outlives the load.
struct LoadContext {
    // Full Windows path of the project file being read.
    QString readingProjectPath;

    QHash<QString, QString> registeredFiles;                     // registry key -> file
    QHash<QString, std::optional<TypeLibInfo>> registered;       // "GUID#major#minor" -> library
    QHash<QString, std::optional<TypeLibInfo>> fromFile;         // file path -> library
    QHash<QString, std::pair<std::int32_t, QString>> fileFacts; // file path -> size, date

    // What the inventory asks of a load: the lines that gave no entry and the libraries every
    // line names as written. Each project's full Windows path (1..N, element 0 unused) is kept
    // whatever the switch says.
    bool recordLines = false;
    int readingLine = 0;                      // 1-based number of the line being read
    std::vector<QString> projectPaths = std::vector<QString>(1);
    std::vector<RecordedLine> recordedLines;  // in the order of the load
    QHash<QString, QString> reasons;          // what was looked up -> the reason found
    QSet<QString> lineTexts;                  // each recorded line's text, kept once
    std::vector<NamedLibrary> namedLibraries; // in the order first met
    // What the closure asks of a load: each project's program and source files (1..N).
    bool recordSources = false;
    std::vector<ProjectSources> projectSources = std::vector<ProjectSources>(1);
    QSet<QString> sourceNames; // each source file as written, kept once: copies of a project share
    QHash<QString, std::size_t> namedLibraryIndex; // GUID#version#file -> its place above
    // Each folder listed once to find a name ignoring case (in use while a project is read, and
    // while the closure of the load is made: a cache, so filled through a const load too).
    mutable FolderListingCache folderListings;
    // Each library's registered versions listed once.
    TypeLibVersionIndex typeLibVersions;
};
