#pragma once

#include "catalogue/CatalogueRecords.h"

#include <QString>
#include <vector>

// The catalogue of the projects of the loaded folder, with the state that outlives a load: the
// folder to load and the key counters of dependency entries, which are never reset while the
// program runs, so a reload gives new keys and keys never repeat.
//
// Projects occupy indexes 1..N in the order the scan met their files; element 0 always exists
// and is never used, so every reader walks from 1. Only the load and the resolvers write it.
class Catalogue {
public:
    std::vector<ProjectEntry> Projects = std::vector<ProjectEntry>(1);
    QString ScanPath;
    int ReferenceKeyCounter = 0;
    int ComponentKeyCounter = 0;

    // Discards every project, leaving the empty element 0. The key counters keep counting.
    void Reset();
    // Grows Projects to upper index `index` with a fresh entry whose Dependencies hold only
    // element 0.
    void AppendProject(int index);
    // Stores `entry` as dependency `DependencyCounter` of project `projectIndex`, gives it the
    // next key of its kind, and advances that key counter and `DependencyCounter`.
    void AppendDependency(int projectIndex, int& DependencyCounter, DependencyEntry entry);
    // Stores what the reader learnt of project `index`.
    void SetProjectFields(int index, const QString& fileName, std::int32_t kind, const QString& name);

    // Upper index of Projects (N).
    int ProjectCount() const { return static_cast<int>(Projects.size()) - 1; }
    // Upper index of project `index`'s Dependencies (n).
    int DependencyCount(int index) const { return static_cast<int>(Projects[index].Dependencies.size()) - 1; }
};
