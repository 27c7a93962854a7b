#include "cli/InventoryCommands.h"

#include "cli/ClosureCommand.h"

#include "catalogue/Catalogue.h"
#include "catalogue/FileHelpers.h"
#include "catalogue/FolderScan.h"
#include "catalogue/Inventory.h"
#include "catalogue/LoadContext.h"
#include "catalogue/ProjectTree.h"
#include "catalogue/Resolution.h"
#include "catalogue/UnresolvedLines.h"
#include "cli/DependencyGraph.h"
#include "platform/controls/Controls.h"
#include "platform/core/ProgramError.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/HostNames.h"
#include "platform/files/PathMapper.h"
#include "platform/typelib/TypeLibReader.h"

#include <algorithm>
#include <cstdio>

bool IsInventoryVerb(Verb verb)
{
    switch (verb) {
    case Verb::Missing:
    case Verb::Libraries:
    case Verb::Uses:
    case Verb::Graph:
    case Verb::Drift:
        return true;
    case Verb::Tree:
    case Verb::Catalogue:
    case Verb::Closure:
    case Verb::Manifest:
    case Verb::Export:
    case Verb::Report:
        return false;
    }
    return false;
}

bool IsFormatVerb(Verb verb)
{
    return verb == Verb::Catalogue || verb == Verb::Closure || (IsInventoryVerb(verb) && verb != Verb::Graph);
}

bool RecordsLines(Verb verb)
{
    switch (verb) {
    case Verb::Missing:
    case Verb::Graph:
    case Verb::Uses:
    case Verb::Drift:
    case Verb::Export:
    case Verb::Manifest:
        return true;
    case Verb::Tree:
    case Verb::Catalogue:
    case Verb::Closure:
    case Verb::Libraries:
    case Verb::Report:
        return false;
    }
    return false;
}

namespace {

// Says on standard error what a load leaves out on purpose, one line each.
void nameSkipped(const QString& what, const QString& reason)
{
    std::fprintf(stderr, "zantrel-cli: skipped %s: %s\n", HostNames::displayed(what).toUtf8().constData(),
                 reason.toUtf8().constData());
}

}

bool LoadForCommandLine(Catalogue& catalogue, MainControls& controls, LoadContext& load, bool recursive)
{
    if (!ListScanPath(catalogue, controls))
        return false;
    if (!recursive) {
        const QString host = PathMapper::current().toHost(controls.File1.Path());
        for (const QString& name : controls.File1.Unnamable())
            nameSkipped(host + u'/' + name, QStringLiteral("its name holds a backslash, which no Windows path can name"));
        return LoadListedProjects(catalogue, controls, load);
    }
    ProjectTreeListing listing;
    try {
        listing = ListProjectTree(catalogue.ScanPath);
    } catch (const ProgramError& error) {
        ShowMessage(QStringLiteral("Carga : ") + error.Description, MsgStyle::Critical);
        return false;
    }
    for (const QString& folder : listing.unreadable)
        std::fprintf(stderr, "zantrel-cli: cannot read the folder %s\n", HostNames::displayed(folder).toUtf8().constData());
    for (const SkippedTreeEntry& entry : listing.skipped) {
        nameSkipped(entry.windowsPath.isEmpty() ? entry.hostPath
                                                : QStringLiteral("the folder %1 (%2)").arg(entry.windowsPath, entry.hostPath),
                    entry.reason);
    }
    return LoadProjectFiles(catalogue, controls, load, listing.files);
}

namespace {

QString projectPath(const LoadContext& load, int index)
{
    return static_cast<std::size_t>(index) < load.projectPaths.size() ? load.projectPaths[index] : QString();
}

QList<OutputValue> entryValues(const DependencyEntry& e)
{
    return {qint64(e.Kind), e.FilePath, e.Guid, e.Key, e.Description, qint64(e.MajorVersion),
            qint64(e.MinorVersion), qint64(e.SizeKB), OutputDate{e.FileDate}};
}

const QStringList kEntryColumns{"kind", "filePath", "guid", "key", "description", "majorVersion",
                                "minorVersion", "sizeKB", "fileDate"};

// The values of a uses record for a line that did not resolve: its fields as written, its
// version's numbers where they read, nothing the line cannot tell.
QList<OutputValue> lineValues(const RecordedLine& line)
{
    const WrittenFields f = FieldsAsWritten(line);
    const std::optional<VersionNumbers> version = SplitVersion(f.version, f.locale);
    const qint64 kind = line.kind == QStringLiteral("component") ? DependencyKind::Component : DependencyKind::Reference;
    return {kind, f.path, f.guid, QString(), f.name, qint64(version ? version->major : 0),
            qint64(version ? version->minor : 0), qint64(0), OutputDate{}};
}

QStringList projectPaths(const Inventory& inventory, const std::vector<int>& indexes)
{
    QStringList paths;
    paths.reserve(static_cast<qsizetype>(indexes.size()));
    for (int i : indexes)
        paths.append(inventory.ProjectPath(i));
    return paths;
}

}

void WriteCatalogue(const Catalogue& catalogue, const LoadContext& load, OutputFormat format, const OutputSink& sink,
                    CsvFormulas formulas)
{
    if (format != OutputFormat::Json) {
        TableWriter writer({"ProjectIndex", "FileName", "Kind", "Name", "DependencyIndex", "DependencyKind", "FilePath",
                            "Guid", "Key", "Description", "MajorVersion", "MinorVersion", "SizeKB", "FileDate",
                            "ProjectPath"},
                           format, sink, formulas);
        for (int i = 1; i <= catalogue.ProjectCount(); ++i) {
            const ProjectEntry& project = catalogue.Projects[i];
            const QList<OutputValue> projectFields{QString::number(i), project.FileName, QString::number(project.Kind),
                                                   project.Name};
            if (catalogue.DependencyCount(i) == 0) {
                QList<OutputValue> row = projectFields;
                for (int n = 0; n < 10; ++n)
                    row.append(QString());
                row.append(projectPath(load, i));
                writer.row(row);
                continue;
            }
            for (int k = 1; k <= catalogue.DependencyCount(i); ++k) {
                const DependencyEntry& e = project.Dependencies[k];
                writer.row(projectFields
                           + QList<OutputValue>{QString::number(k), QString::number(e.Kind), e.FilePath, e.Guid, e.Key,
                                                e.Description, QString::number(e.MajorVersion),
                                                QString::number(e.MinorVersion), QString::number(e.SizeKB), e.FileDate,
                                                projectPath(load, i)});
            }
        }
        writer.finish();
        return;
    }
    sink(catalogue.ProjectCount() > 0 ? QByteArray("[") : QByteArray("[]\n"));
    for (int i = 1; i <= catalogue.ProjectCount(); ++i) {
        const ProjectEntry& project = catalogue.Projects[i];
        QString out = i > 1 ? QStringLiteral(",\n  {") : QStringLiteral("\n  {");
        out += QStringLiteral("\"index\": ") + QString::number(i) + QStringLiteral(", \"path\": ")
               + OutputText::jsonString(projectPath(load, i)) + QStringLiteral(", \"fileName\": ")
               + OutputText::jsonString(project.FileName) + QStringLiteral(", \"kind\": ") + QString::number(project.Kind)
               + QStringLiteral(", \"name\": ") + OutputText::jsonString(project.Name) + QStringLiteral(", \"entries\": [");
        for (int k = 1; k <= catalogue.DependencyCount(i); ++k) {
            const DependencyEntry& e = project.Dependencies[k];
            out += (k > 1 ? QStringLiteral(",\n    {") : QStringLiteral("\n    {")) + QStringLiteral("\"index\": ")
                   + QString::number(k);
            const QList<OutputValue> values = entryValues(e);
            for (qsizetype c = 0; c < kEntryColumns.size(); ++c) {
                out += QStringLiteral(", ") + OutputText::jsonString(kEntryColumns[c]) + QStringLiteral(": ");
                out += JsonValue(values[c]);
            }
            out += u'}';
        }
        out += catalogue.DependencyCount(i) > 0 ? QStringLiteral("\n  ]}") : QStringLiteral("]}");
        sink(out.toUtf8());
    }
    if (catalogue.ProjectCount() > 0)
        sink("\n]\n");
}

QByteArray CatalogueOutput(const Catalogue& catalogue, const LoadContext& load, OutputFormat format)
{
    QByteArray out;
    WriteCatalogue(catalogue, load, format, [&out](const QByteArray& piece) { out += piece; });
    return out;
}

OutputTable MissingTable(const Inventory& inventory)
{
    OutputTable table;
    table.columns = {"project", "line", "kind", "guid", "version", "locale", "path", "name", "reason"};
    for (const RecordedLine* r : inventory.Unresolved()) {
        const WrittenFields f = FieldsAsWritten(*r);
        table.rows.append({inventory.ProjectPath(r->projectIndex), qint64(r->line), r->kind, f.guid, f.version,
                           f.locale, f.path, f.name, r->reason});
    }
    return table;
}

OutputTable LibrariesTable(const Inventory& inventory)
{
    OutputTable table;
    table.columns = {"guid", "majorVersion", "minorVersion", "filePath", "description", "sizeKB", "fileDate", "kind",
                     "projects"};
    for (const LibraryUse& library : inventory.Libraries()) {
        const DependencyEntry& e = *library.entry;
        table.rows.append({e.Guid, qint64(e.MajorVersion), qint64(e.MinorVersion), e.FilePath, e.Description,
                           qint64(e.SizeKB), OutputDate{e.FileDate}, qint64(e.Kind),
                           projectPaths(inventory, library.projects)});
    }
    return table;
}

OutputTable UsesTable(const Inventory& inventory, const QString& query)
{
    OutputTable table;
    table.columns = QStringList{"project", "index"} + kEntryColumns + QStringList{"resolved", "reason"};
    for (const LibraryUser& user : inventory.Users(query)) {
        QList<OutputValue> row{inventory.ProjectPath(user.projectIndex), qint64(user.entryIndex)};
        if (user.entry)
            row += entryValues(*user.entry) + QList<OutputValue>{true, QString()};
        else
            row += lineValues(*user.line) + QList<OutputValue>{false, user.line->reason};
        table.rows.append(row);
    }
    return table;
}

OutputTable DriftTable(const Inventory& inventory)
{
    OutputTable table;
    table.columns = {"guid", "kind", "version", "file", "projects"};
    for (const LibraryDrift& library : inventory.Drift())
        for (const DriftSide& side : library.sides)
            table.rows.append({library.guid, qint64(side.kind), side.version, side.file,
                               projectPaths(inventory, side.projects)});
    return table;
}

int RunInventory(Verb verb, const Catalogue& catalogue, const LoadContext& load, const InventoryRequest& request,
                 const OutputSink& sink)
{
    Q_ASSERT(IsInventoryVerb(verb));
    const Inventory inventory(catalogue, load);
    if (verb == Verb::Graph) {
        if (request.deep) {
            const std::vector<ClosureRecord> closure = BuildClosure(catalogue, load, request.arch);
            sink(DependencyGraph(inventory, &closure));
        } else {
            sink(DependencyGraph(inventory));
        }
        return 0;
    }
    if (request.deep && verb == Verb::Missing) {
        const qsizetype records = WriteDeepMissing(MissingTable(inventory), catalogue, load, request.arch,
                                                   request.format, sink, request.csvFormulas);
        return records > 0 ? FoundProblemStatus : 0;
    }
    OutputTable table;
    if (request.deep && verb == Verb::Libraries)
        table = ShippedFilesTable(catalogue, load, request.arch);
    else if (verb == Verb::Missing)
        table = MissingTable(inventory);
    else if (verb == Verb::Libraries)
        table = LibrariesTable(inventory);
    else if (verb == Verb::Drift)
        table = DriftTable(inventory);
    else
        table = UsesTable(inventory, request.query);
    WriteTable(table, request.format, sink, request.csvFormulas);
    if (verb == Verb::Libraries)
        return 0;
    const bool found = !table.rows.isEmpty();
    return (verb == Verb::Uses) == found ? 0 : FoundProblemStatus;
}

int RunInventory(Verb verb, const Catalogue& catalogue, const LoadContext& load, const InventoryRequest& request,
                 QByteArray& out)
{
    out.clear();
    return RunInventory(verb, catalogue, load, request, [&out](const QByteArray& piece) { out += piece; });
}
