#include "catalogue/Inventory.h"

#include "catalogue/Catalogue.h"
#include "catalogue/FileHelpers.h"
#include "platform/typelib/TypeLibReader.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace {

// The identity of a library: its GUID, versions and file (a Windows path, compared ignoring case).
QString libraryKey(const DependencyEntry& e)
{
    return e.Guid.toUpper() + u'#' + QString::number(e.MajorVersion) + u'.' + QString::number(e.MinorVersion) + u'#'
           + e.FilePath.toCaseFolded();
}

// A GUID query with or without braces, in registry form; empty when `query` is no GUID.
QString guidQuery(const QString& query)
{
    const QString braced = query.startsWith(u'{') ? query : u'{' + query + u'}';
    return NormalizedGuidText(braced).value_or(QString());
}

void addProjectOnce(std::vector<int>& projects, int index)
{
    if (projects.empty() || projects.back() != index)
        projects.push_back(index);
}

// Whether a line that did not resolve names the library `guid` (when given) or the file `file`.
bool lineNames(const RecordedLine& line, const QString& guid, const QString& file)
{
    if (line.reason.isEmpty() || line.kind == QStringLiteral("project"))
        return false;
    const WrittenFields written = FieldsAsWritten(line);
    if (!guid.isEmpty())
        return NormalizedGuidText(written.guid).value_or(QString()).compare(guid, Qt::CaseInsensitive) == 0;
    return !written.path.isEmpty() && ExtraeNombreArchivo(written.path).compare(file, Qt::CaseInsensitive) == 0;
}

}

Inventory::Inventory(const Catalogue& catalogue, const LoadContext& load)
    : catalogue_(&catalogue),
      projectPaths_(load.projectPaths),
      lines_(load.recordedLines),
      named_(load.namedLibraries),
      sources_(load.projectSources)
{
    count();
}

Inventory::Inventory(const Catalogue& catalogue, LoadContext&& load)
    : catalogue_(&catalogue),
      projectPaths_(std::move(load.projectPaths)),
      lines_(std::move(load.recordedLines)),
      named_(std::move(load.namedLibraries)),
      sources_(std::move(load.projectSources))
{
    load.projectPaths = std::vector<QString>(1);
    load.projectSources = std::vector<ProjectSources>(1);
    load.recordedLines.clear();
    load.namedLibraries.clear();
    load.namedLibraryIndex.clear();
    count();
}

void Inventory::count()
{
    int lastProject = 0;
    for (const RecordedLine& line : lines_) {
        if (line.reason.isEmpty())
            continue;
        ++unresolvedCount_;
        if (line.projectIndex != lastProject) {
            // Lines come in load order, so a project's lines are together.
            ++projectsWithUnresolved_;
            lastProject = line.projectIndex;
        }
    }
}

QString Inventory::ProjectPath(int index) const
{
    return index >= 0 && static_cast<std::size_t>(index) < projectPaths_.size() ? projectPaths_[index] : QString();
}

int Inventory::ProjectCount() const
{
    return catalogue_ ? catalogue_->ProjectCount() : 0;
}

std::vector<const RecordedLine*> Inventory::Unresolved() const
{
    std::vector<const RecordedLine*> lines;
    lines.reserve(static_cast<std::size_t>(unresolvedCount_));
    for (const RecordedLine& line : lines_)
        if (!line.reason.isEmpty())
            lines.push_back(&line);
    return lines;
}

std::vector<LibraryUse> Inventory::LibrariesInOrder() const
{
    std::vector<LibraryUse> libraries;
    if (!catalogue_)
        return libraries;
    QHash<QString, std::size_t> byKey;
    for (int i = 1; i <= catalogue_->ProjectCount(); ++i) {
        for (int k = 1; k <= catalogue_->DependencyCount(i); ++k) {
            const DependencyEntry& e = catalogue_->Projects[i].Dependencies[k];
            const QString key = libraryKey(e);
            auto it = byKey.constFind(key);
            if (it == byKey.constEnd()) {
                it = byKey.insert(key, libraries.size());
                libraries.push_back({&e, {}});
            }
            addProjectOnce(libraries[*it].projects, i);
        }
    }
    return libraries;
}

std::vector<LibraryUse> Inventory::Libraries() const
{
    std::vector<LibraryUse> libraries = LibrariesInOrder();
    std::stable_sort(libraries.begin(), libraries.end(),
                     [](const LibraryUse& a, const LibraryUse& b) { return a.projects.size() > b.projects.size(); });
    return libraries;
}

std::vector<LibraryUser> Inventory::Users(const QString& query) const
{
    std::vector<LibraryUser> users;
    if (!catalogue_)
        return users;
    const QString guid = guidQuery(query);
    auto line = lines_.cbegin();
    for (int i = 1; i <= catalogue_->ProjectCount(); ++i) {
        for (int k = 1; k <= catalogue_->DependencyCount(i); ++k) {
            const DependencyEntry& e = catalogue_->Projects[i].Dependencies[k];
            const bool matches = !guid.isEmpty() ? e.Guid.compare(guid, Qt::CaseInsensitive) == 0
                                                 : ExtraeNombreArchivo(e.FilePath).compare(query, Qt::CaseInsensitive) == 0;
            if (matches)
                users.push_back({i, k, &e, nullptr});
        }
        for (; line != lines_.cend() && line->projectIndex <= i; ++line)
            if (line->projectIndex == i && lineNames(*line, guid, query))
                users.push_back({i, 0, nullptr, &*line});
    }
    return users;
}

std::vector<LibraryDrift> Inventory::Drift() const
{
    // The sides of each GUID, in the order first met.
    std::vector<std::vector<const NamedLibrary*>> byGuid;
    QHash<QString, std::size_t> guidPlace;
    for (const NamedLibrary& library : named_) {
        auto it = guidPlace.constFind(library.guid);
        if (it == guidPlace.constEnd()) {
            it = guidPlace.insert(library.guid, byGuid.size());
            byGuid.emplace_back();
        }
        byGuid[*it].push_back(&library);
    }
    std::vector<LibraryDrift> drift;
    for (const auto& sides : byGuid) {
        QSet<QString> versions, files;
        for (const NamedLibrary* side : sides) {
            versions.insert(side->version.toLower());
            if (!side->file.isEmpty())
                files.insert(side->file.toCaseFolded());
        }
        if (versions.size() < 2 && files.size() < 2)
            continue;
        LibraryDrift library;
        library.guid = sides.front()->guid;
        for (const NamedLibrary* side : sides) {
            if (library.name.isEmpty())
                library.name = side->name;
            library.sides.push_back({side->version, side->file, side->kind, side->projects});
        }
        drift.push_back(std::move(library));
    }
    return drift;
}

void RecordNamedLibrary(LoadContext& load, std::int32_t kind, const QString& guid, const QString& version,
                        const QString& file, const QString& name)
{
    const std::optional<QString> normalized = NormalizedGuidText(guid);
    if (!normalized)
        return;
    const QString registryGuid = normalized->toUpper();
    const QString fileName = ExtraeNombreArchivo(file.trimmed());
    const QString key = registryGuid + u'#' + version.toLower() + u'#' + fileName.toCaseFolded();
    const int project = static_cast<int>(load.projectPaths.size()) - 1;
    auto it = load.namedLibraryIndex.constFind(key);
    if (it == load.namedLibraryIndex.constEnd()) {
        it = load.namedLibraryIndex.insert(key, load.namedLibraries.size());
        load.namedLibraries.push_back({registryGuid, version, fileName, name, kind, {}});
    }
    NamedLibrary& library = load.namedLibraries[*it];
    if (library.name.isEmpty())
        library.name = name;
    addProjectOnce(library.projects, project);
}
