#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// Kind of a project, from its project file's Type line.
enum ProjectKind : std::int32_t {
    Unknown = 0,
    Exe = 1,
    OleDll = 2,
    Control = 3,
    OleExe = 4,
};

// Kind of a dependency: a type library named by a Reference= line, or an ActiveX control
// library named by an Object= line.
enum DependencyKind : std::int32_t {
    Reference = 1,
    Component = 2,
};

struct DependencyEntry {
    std::int32_t Kind = 0;
    QString FilePath;       // Windows path of the library's file
    QString Guid;           // as the library reports it
    QString Key;            // "REFDLL<n>" or "REFOCX<n>", unique for the whole run
    QString Description;    // the library's help string
    std::int32_t MajorVersion = 0;
    std::int32_t MinorVersion = 0;
    std::int32_t SizeKB = 0;
    QString FileDate;       // "dd/mm/yyyy hh:mm:ss", local time
};

struct ProjectEntry {
    QString FileName;       // bare file name once a Name line is read, else the full path
    std::int32_t Kind = ProjectKind::Unknown;
    QString Name;           // the Name line's value without its quotes
    // Element 0 exists and is never used; entries 1..n in the order of their lines.
    std::vector<DependencyEntry> Dependencies = std::vector<DependencyEntry>(1);
};
