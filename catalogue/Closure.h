#pragma once

// What each loaded project needs to run, beyond its project file's lines: the files its
// libraries import in turn, its compiled program and what that imports, the DLLs its code
// declares, the controls its forms use, and the files the libraries' dependency files name.

#include "platform/loader/DllSearch.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class Catalogue;
struct LoadContext;
struct ProjectSources;

enum class ClosureHow { Reference, Component, Program, Import, DelayImport, DependencyFile, Declare, FormControl, Source };

// "reference", "component", "program", "import", "delay import", "dependency file", "declare",
// "form control", "source".
QString ClosureHowName(ClosureHow how);

// What separates the names of a chain of files, each needed by the one before.
inline constexpr QLatin1StringView ViaSeparator(" > ");

// One file a project needs.
struct ClosureRecord {
    int projectIndex = 0;
    QString file;      // as named: the library's file name, the imported or declared name
    QString found;     // the Windows path it resolved to; empty when not found
    ClosureHow how = ClosureHow::Import;
    QString via;       // the chain from the project file's name to this file, both included, each
                       // name after the one that needs it (ViaSeparator): "Facturas.vbp >
                       // MSCOMCTL.OCX > COMCTL32.dll"
    // The chain without this file: what needs it.
    QStringView parentVia() const;
    bool system = false; // an API set, a KnownDLL or Wine's own built-in: a setup never ships it
    QString reason;    // why it cannot be used ("not found in the search path", "64-bit image",
                       // "not a program image", ...); empty when it can
};

// Receives each record of a closure as it is made; the record is the caller's only during the
// call (its text is kept from record to record), so a caller that keeps it copies it.
using ClosureVisitor = std::function<void(const ClosureRecord&)>;

// The closure of every project of a load made with LoadContext::recordSources (and, for the
// lines that gave no entry, recordLines), handed to `visit` a record at a time, so a long closure
// is never held whole. Each file's imports, each dependency file and each source file is read
// once. Records come per project in load order; within a project, the project's own lines first,
// each followed by what it brings in, breadth first.
void VisitClosure(const Catalogue& catalogue, const LoadContext& load, LoaderArch arch, const ClosureVisitor& visit);
// The same from what a load kept: each project's full Windows path and its program and source
// lines (1..N).
void VisitClosure(const Catalogue& catalogue, const std::vector<QString>& projectPaths,
                  const std::vector<ProjectSources>& sources, LoaderArch arch, const ClosureVisitor& visit);

// The same records gathered into one list.
std::vector<ClosureRecord> BuildClosure(const Catalogue& catalogue, const LoadContext& load,
                                        LoaderArch arch = LoaderArch::X86);
std::vector<ClosureRecord> BuildClosure(const Catalogue& catalogue, const std::vector<QString>& projectPaths,
                                        const std::vector<ProjectSources>& sources, LoaderArch arch = LoaderArch::X86);
