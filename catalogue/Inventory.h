#pragma once

// The inventory of a finished load: the lines it could not resolve and why, the distinct
// libraries the projects use, the projects that use a library, and the libraries the projects
// name at versions or under file names that disagree. The window's diagnostics and zantrel-cli
// read this one answer; they only show it.

#include "catalogue/CatalogueRecords.h"
#include "catalogue/LoadContext.h"
#include "catalogue/UnresolvedLines.h"

#include <QString>
#include <vector>

class Catalogue;

// A library the projects use: the first entry met of a GUID at one version in one file (the file
// compared ignoring case), and the projects with such an entry.
struct LibraryUse {
    const DependencyEntry* entry = nullptr;
    std::vector<int> projects; // each once, in load order
};

// An entry, or a line that did not resolve, naming the library a query asks for.
struct LibraryUser {
    int projectIndex = 0;
    int entryIndex = 0;                     // the entry's index in its project; 0: a line
    const DependencyEntry* entry = nullptr; // the entry; null for a line that did not resolve
    const RecordedLine* line = nullptr;     // the line; null for an entry
};

// One side of a disagreement: a version and a file name a GUID is written with, and the projects
// whose lines write it so.
struct DriftSide {
    QString version;    // as the first line of this side writes it
    QString file;       // the file name part of the written path (Reference=) or file (Object=)
    std::int32_t kind = 0;
    std::vector<int> projects; // each once, in load order
};

// A library that the loaded projects name at more than one version, or under more than one file
// name (names compared ignoring case; an unwritten file name disagrees with none).
struct LibraryDrift {
    QString guid;       // in registry form, upper case
    QString name;       // the name a Reference= line writes for it, else empty
    std::vector<DriftSide> sides; // in the order first met
};

// The inventory over a catalogue and what its load recorded. Made after a load whose context
// had `recordLines` on (else it knows only the catalogue's entries); it refers to the catalogue,
// which must not change while the inventory is in use: the window makes a new one after each load.
class Inventory {
public:
    Inventory() = default;
    // Copies what `load` recorded (its texts are shared, not copied).
    Inventory(const Catalogue& catalogue, const LoadContext& load);
    // Takes what `load` recorded, leaving it without.
    Inventory(const Catalogue& catalogue, LoadContext&& load);

    // Each project's full Windows path; empty for an index the load did not reach.
    QString ProjectPath(int index) const;
    int ProjectCount() const;

    // Every line that gave no entry, with its reason, in the order of the load.
    std::vector<const RecordedLine*> Unresolved() const;
    // How many lines gave no entry, and in how many projects.
    int UnresolvedCount() const { return unresolvedCount_; }
    int ProjectsWithUnresolved() const { return projectsWithUnresolved_; }

    // The distinct libraries, most used first (ties in the order first met).
    std::vector<LibraryUse> Libraries() const;
    // The distinct libraries in the order first met.
    std::vector<LibraryUse> LibrariesInOrder() const;

    // The entries that name the library `query`, a GUID (braces optional, any case) or a file name
    // compared ignoring case with the last part of the entry's file; then the lines that did not
    // resolve and write that GUID, or that file name as the last part of their path. In load order,
    // entries and lines of one project together.
    std::vector<LibraryUser> Users(const QString& query) const;

    // The libraries whose lines disagree, in the order first met.
    std::vector<LibraryDrift> Drift() const;

    // Every line of the load, with or without a reason (project references whose file exists
    // have none), for the graph.
    const std::vector<RecordedLine>& Lines() const { return lines_; }
    // Each project's full Windows path and, after a load with `recordSources`, its program and
    // source lines (1..N): what the closure starts from.
    const std::vector<QString>& ProjectPaths() const { return projectPaths_; }
    const std::vector<ProjectSources>& Sources() const { return sources_; }
    const Catalogue* catalogue() const { return catalogue_; }

private:
    void count();

    const Catalogue* catalogue_ = nullptr;
    std::vector<QString> projectPaths_;
    std::vector<RecordedLine> lines_;
    std::vector<NamedLibrary> named_;
    std::vector<ProjectSources> sources_;
    int unresolvedCount_ = 0;
    int projectsWithUnresolved_ = 0;
};

// Notes the library a Reference= or Object= line names, as it writes it, for the drift: `kind` 1
// or 2, its GUID (lines without one are left out), version text and file as the line writes them.
void RecordNamedLibrary(LoadContext& load, std::int32_t kind, const QString& guid, const QString& version,
                        const QString& file, const QString& name);
