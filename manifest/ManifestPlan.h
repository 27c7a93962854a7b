#pragma once

// Which manifests a load's projects get, and what each says: from the closure (the in-process
// libraries a program needs that a setup ships), the libraries' own classes, and the world's
// registry for what the classes themselves cannot tell.

#include "manifest/ApplicationManifest.h"
#include "platform/loader/DllSearch.h"

#include <QString>
#include <QStringList>
#include <vector>

class Catalogue;
class Inventory;
struct LoadContext;

struct ManifestRequest {
    LoaderArch arch = LoaderArch::X86;
    bool commonControls = false; // --common-controls
    QStringList projects;        // only these (by Name or project file name, ignoring case); empty: all
    std::vector<int> projectIndexes; // only these (the window's checked projects); empty: all
    QString folder;              // Windows folder to write into; empty: each program's own folder
};

// One manifest to write.
struct PlannedManifest {
    int projectIndex = 0;
    QString projectFile;    // the project file's name, for messages
    QString windowsPath;    // where it goes: <folder>\<ExeName32>.manifest
    ApplicationManifest manifest;
};

// A library a program needs that its manifest leaves out (or a class it leaves out), and why.
struct ManifestProblem {
    enum class Kind {
        NotFound,       // a line of the project found no library (detail: the load's reason)
        CannotLoad,     // the closure says the file cannot be loaded (detail: its reason)
        OutOfProcess,   // an ActiveX EXE, or a class registered to run in its own process
        Licensed,       // a licensed control (detail: the class)
        DuplicateClass, // a class another library of the manifest serves (detail: the class;
                        // other: that library)
        SamePath,       // the manifest would go where another project's goes (file: its path;
                        // other: that project), so it is not written
    };
    QString projectFile;
    QString file;
    Kind kind = Kind::NotFound;
    QString detail;
    QString other;
    QString reason; // the whole reason in plain English
};

struct ManifestPlan {
    std::vector<PlannedManifest> manifests;
    std::vector<ManifestProblem> problems;
    // Names of projects asked for that the load does not have.
    QStringList unknownProjects;
};

// Plans the manifest of each project of a load made with LoadContext::recordSources and
// recordLines. Each library's classes are read once, each class looked up once in the registry.
ManifestPlan PlanManifests(const Catalogue& catalogue, const LoadContext& load, const ManifestRequest& request);
// The same from what the window's inventory kept of its load.
ManifestPlan PlanManifests(const Inventory& inventory, const ManifestRequest& request);
