#include "catalogue/Catalogue.h"

void Catalogue::Reset()
{
    Projects.assign(1, ProjectEntry{});
}

void Catalogue::AppendProject(int index)
{
    Projects.resize(static_cast<std::size_t>(index) + 1);
    Projects[index] = ProjectEntry{};
}

void Catalogue::AppendDependency(int projectIndex, int& DependencyCounter, DependencyEntry entry)
{
    if (entry.Kind == DependencyKind::Component)
        entry.Key = QStringLiteral("REFOCX") + QString::number(ComponentKeyCounter++);
    else
        entry.Key = QStringLiteral("REFDLL") + QString::number(ReferenceKeyCounter++);
    auto& dependencies = Projects[projectIndex].Dependencies;
    dependencies.resize(static_cast<std::size_t>(DependencyCounter) + 1);
    dependencies[DependencyCounter] = std::move(entry);
    ++DependencyCounter;
}

void Catalogue::SetProjectFields(int index, const QString& fileName, std::int32_t kind, const QString& name)
{
    ProjectEntry& project = Projects[index];
    project.FileName = fileName;
    project.Kind = kind;
    project.Name = name;
}
