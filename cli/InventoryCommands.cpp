#include "cli/InventoryCommands.h"

#include "catalogue/Catalogue.h"
#include "catalogue/FolderScan.h"
#include "catalogue/LoadContext.h"
#include "catalogue/ProjectReader.h"
#include "catalogue/ProjectTree.h"
#include "catalogue/UnresolvedLines.h"
#include "platform/core/ProgramError.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/typelib/TypeLibReader.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cstdio>

bool TakeInventoryOption(const QString& option, InventoryRequest& request)
{
    if (option != QStringLiteral("-r") && option != QStringLiteral("--recursive"))
        return false;
    request.recursive = true;
    return true;
}

bool IsInventoryVerb(const QString& verb)
{
    return verb == QStringLiteral("missing") || verb == QStringLiteral("libraries") || verb == QStringLiteral("uses")
           || verb == QStringLiteral("graph");
}

bool IsFormatVerb(const QString& verb)
{
    return verb == QStringLiteral("catalogue") || (IsInventoryVerb(verb) && verb != QStringLiteral("graph"));
}

bool RecordsLines(const QString& verb)
{
    return verb == QStringLiteral("missing") || verb == QStringLiteral("graph");
}

bool LoadForCommandLine(Catalogue& catalogue, MainControls& controls, LoadContext& load, bool recursive)
{
    if (!ListScanPath(catalogue, controls))
        return false;
    if (!recursive)
        return LoadListedProjects(catalogue, controls, load);
    ProjectTreeListing listing;
    try {
        listing = ListProjectTree(catalogue.ScanPath);
    } catch (const ProgramError& error) {
        ShowMessage(QStringLiteral("Carga : ") + error.Description, MsgStyle::Critical);
        return false;
    }
    for (const QString& folder : listing.unreadable)
        std::fprintf(stderr, "zantrel-cli: cannot read the folder %s\n", folder.toUtf8().constData());
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
            qint64(e.MinorVersion), qint64(e.SizeKB), e.FileDate};
}

const QStringList kEntryColumns{"kind", "filePath", "guid", "key", "description", "majorVersion",
                                "minorVersion", "sizeKB", "fileDate"};

// The identity of a library: its GUID, versions and file (a Windows path, compared ignoring case).
QString libraryKey(const DependencyEntry& e)
{
    return e.Guid.toUpper() + u'#' + QString::number(e.MajorVersion) + u'.' + QString::number(e.MinorVersion) + u'#'
           + e.FilePath.toCaseFolded();
}

struct Library {
    const DependencyEntry* entry = nullptr;
    QStringList projects;
    QList<int> projectIndexes; // in load order, each once
};

// The distinct libraries in the order first met.
std::vector<Library> distinctLibraries(const Catalogue& catalogue, const LoadContext& load)
{
    std::vector<Library> libraries;
    QHash<QString, std::size_t> byKey;
    for (int i = 1; i <= catalogue.ProjectCount(); ++i) {
        for (int k = 1; k <= catalogue.DependencyCount(i); ++k) {
            const DependencyEntry& e = catalogue.Projects[i].Dependencies[k];
            const QString key = libraryKey(e);
            auto it = byKey.constFind(key);
            if (it == byKey.constEnd()) {
                it = byKey.insert(key, libraries.size());
                libraries.push_back({&e, {}, {}});
            }
            Library& library = libraries[*it];
            if (library.projectIndexes.isEmpty() || library.projectIndexes.last() != i) {
                library.projectIndexes.append(i);
                library.projects.append(projectPath(load, i));
            }
        }
    }
    return libraries;
}

// A GUID query with or without braces, in registry form; empty when `query` is no GUID.
QString guidQuery(const QString& query)
{
    const QString braced = query.startsWith(u'{') ? query : u'{' + query + u'}';
    return NormalizedGuidText(braced).value_or(QString());
}

// A DOT string literal; control characters become spaces, "\n" in `text` is kept as a line break.
QString dotString(const QStringList& lines)
{
    QString out = QStringLiteral("\"");
    for (qsizetype l = 0; l < lines.size(); ++l) {
        if (l > 0)
            out += QStringLiteral("\\n");
        for (QChar c : OutputText::valid(lines[l])) {
            if (c == u'"' || c == u'\\')
                out += u'\\';
            out += c.unicode() < 0x20 || c.unicode() == 0x7f ? QChar(u' ') : c;
        }
    }
    return out + u'"';
}

}

QByteArray CatalogueOutput(const Catalogue& catalogue, const LoadContext& load, OutputFormat format)
{
    if (format != OutputFormat::Json) {
        OutputTable table;
        table.columns = {"ProjectIndex", "FileName", "Kind", "Name", "DependencyIndex", "DependencyKind", "FilePath",
                         "Guid", "Key", "Description", "MajorVersion", "MinorVersion", "SizeKB", "FileDate",
                         "ProjectPath"};
        for (int i = 1; i <= catalogue.ProjectCount(); ++i) {
            const ProjectEntry& project = catalogue.Projects[i];
            const QList<OutputValue> projectFields{QString::number(i), project.FileName, QString::number(project.Kind),
                                                   project.Name};
            if (catalogue.DependencyCount(i) == 0) {
                QList<OutputValue> row = projectFields;
                for (int n = 0; n < 10; ++n)
                    row.append(QString());
                row.append(projectPath(load, i));
                table.rows.append(row);
                continue;
            }
            for (int k = 1; k <= catalogue.DependencyCount(i); ++k) {
                const DependencyEntry& e = project.Dependencies[k];
                table.rows.append(projectFields
                                  + QList<OutputValue>{QString::number(k), QString::number(e.Kind), e.FilePath, e.Guid,
                                                       e.Key, e.Description, QString::number(e.MajorVersion),
                                                       QString::number(e.MinorVersion), QString::number(e.SizeKB),
                                                       e.FileDate, projectPath(load, i)});
            }
        }
        return RenderTable(table, format);
    }
    QString out = QStringLiteral("[");
    for (int i = 1; i <= catalogue.ProjectCount(); ++i) {
        const ProjectEntry& project = catalogue.Projects[i];
        out += i > 1 ? QStringLiteral(",\n  {") : QStringLiteral("\n  {");
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
                const OutputValue& v = values[c];
                out += std::holds_alternative<qint64>(v) ? QString::number(std::get<qint64>(v))
                                                         : OutputText::jsonString(std::get<QString>(v));
            }
            out += u'}';
        }
        out += catalogue.DependencyCount(i) > 0 ? QStringLiteral("\n  ]}") : QStringLiteral("]}");
    }
    out += catalogue.ProjectCount() > 0 ? QStringLiteral("\n]\n") : QStringLiteral("]\n");
    return out.toUtf8();
}

OutputTable MissingTable(const Catalogue&, const LoadContext& load)
{
    OutputTable table;
    table.columns = {"project", "line", "kind", "guid", "version", "locale", "path", "name", "reason"};
    for (const RecordedLine& r : load.recordedLines) {
        if (r.reason.isEmpty())
            continue;
        const WrittenFields f = FieldsAsWritten(r);
        table.rows.append({projectPath(load, r.projectIndex), qint64(r.line), r.kind, f.guid, f.version, f.locale,
                           f.path, f.name, r.reason});
    }
    return table;
}

OutputTable LibrariesTable(const Catalogue& catalogue, const LoadContext& load)
{
    std::vector<Library> libraries = distinctLibraries(catalogue, load);
    std::stable_sort(libraries.begin(), libraries.end(),
                     [](const Library& a, const Library& b) { return a.projects.size() > b.projects.size(); });
    OutputTable table;
    table.columns = {"guid", "majorVersion", "minorVersion", "filePath", "description", "sizeKB", "fileDate", "kind",
                     "projects"};
    for (const Library& library : libraries) {
        const DependencyEntry& e = *library.entry;
        table.rows.append({e.Guid, qint64(e.MajorVersion), qint64(e.MinorVersion), e.FilePath, e.Description,
                           qint64(e.SizeKB), e.FileDate, qint64(e.Kind), library.projects});
    }
    return table;
}

OutputTable UsesTable(const Catalogue& catalogue, const LoadContext& load, const QString& query)
{
    const QString guid = guidQuery(query);
    OutputTable table;
    table.columns = QStringList{"project", "index"} + kEntryColumns;
    for (int i = 1; i <= catalogue.ProjectCount(); ++i) {
        for (int k = 1; k <= catalogue.DependencyCount(i); ++k) {
            const DependencyEntry& e = catalogue.Projects[i].Dependencies[k];
            const bool matches = !guid.isEmpty() ? e.Guid.compare(guid, Qt::CaseInsensitive) == 0
                                                 : ExtraeNombreArchivo(e.FilePath).compare(query, Qt::CaseInsensitive) == 0;
            if (matches)
                table.rows.append(QList<OutputValue>{projectPath(load, i), qint64(k)} + entryValues(e));
        }
    }
    return table;
}

QByteArray DependencyGraph(const Catalogue& catalogue, const LoadContext& load)
{
    QString out = QStringLiteral("digraph dependencies {\n"
                                 "  rankdir=LR;\n"
                                 "  graph [fontname=\"Helvetica\", fontsize=11];\n"
                                 "  node [fontname=\"Helvetica\", fontsize=10];\n"
                                 "  edge [color=\"#555555\"];\n");
    QHash<QString, int> projectByPath;
    for (int i = 1; i <= catalogue.ProjectCount(); ++i) {
        const ProjectEntry& project = catalogue.Projects[i];
        projectByPath.insert(projectPath(load, i).toCaseFolded(), i);
        const QString file = ExtraeNombreArchivo(projectPath(load, i));
        out += QStringLiteral("  p%1 [shape=box, style=filled, fillcolor=\"#cfe2f3\", label=%2];\n")
                   .arg(i)
                   .arg(dotString(project.Name.isEmpty() ? QStringList{file} : QStringList{project.Name, file}));
    }
    const std::vector<Library> libraries = distinctLibraries(catalogue, load);
    QSet<QString> edges;
    QString edgeLines;
    auto edge = [&](const QString& from, const QString& to, const QString& style) {
        if (!edges.contains(from + u'>' + to)) {
            edges.insert(from + u'>' + to);
            edgeLines += QStringLiteral("  %1 -> %2%3;\n").arg(from, to, style);
        }
    };
    for (std::size_t n = 0; n < libraries.size(); ++n) {
        const DependencyEntry& e = *libraries[n].entry;
        const bool component = e.Kind == DependencyKind::Component;
        out += QStringLiteral("  l%1 [shape=%2, style=filled, fillcolor=\"%3\", label=%4];\n")
                   .arg(n + 1)
                   .arg(component ? QStringLiteral("component") : QStringLiteral("ellipse"),
                        component ? QStringLiteral("#fff2cc") : QStringLiteral("#d9ead3"),
                        dotString({ExtraeNombreArchivo(e.FilePath),
                                   QString::number(e.MajorVersion) + u'.' + QString::number(e.MinorVersion)}));
        for (int i : libraries[n].projectIndexes)
            edge(QStringLiteral("p%1").arg(i), QStringLiteral("l%1").arg(n + 1), QString());
    }
    // References to other project files: an edge to the loaded project, else to a node of its own.
    QHash<QString, QString> others;
    QString missing;
    QHash<QString, QString> missingNodes;
    for (const RecordedLine& r : load.recordedLines) {
        const QString from = QStringLiteral("p%1").arg(r.projectIndex);
        if (r.reason.isEmpty()) {
            if (const auto it = projectByPath.constFind(r.target.toCaseFolded()); it != projectByPath.constEnd()) {
                edge(from, QStringLiteral("p%1").arg(*it), QStringLiteral(" [style=bold]"));
                continue;
            }
            QString& node = others[r.target.toCaseFolded()];
            if (node.isEmpty()) {
                node = QStringLiteral("x%1").arg(others.size());
                out += QStringLiteral("  %1 [shape=box, style=dashed, label=%2];\n")
                           .arg(node, dotString({ExtraeNombreArchivo(r.target), QStringLiteral("(not loaded)")}));
            }
            edge(from, node, QStringLiteral(" [style=bold]"));
            continue;
        }
        const WrittenFields f = FieldsAsWritten(r);
        const QString what = !f.name.isEmpty() ? f.name : !f.path.isEmpty() ? ExtraeNombreArchivo(f.path) : f.guid;
        const QString key = r.kind + u'#' + f.guid.toUpper() + u'#' + f.version + u'#' + f.path.toCaseFolded() + u'#'
                            + r.reason;
        QString& node = missingNodes[key];
        if (node.isEmpty()) {
            node = QStringLiteral("m%1").arg(missingNodes.size());
            missing += QStringLiteral("    %1 [shape=octagon, color=\"#cc0000\", fontcolor=\"#cc0000\", label=%2];\n")
                           .arg(node, dotString({what, r.reason}));
        }
        edge(from, node, QStringLiteral(" [style=dashed, color=\"#cc0000\"]"));
    }
    // Missing lines drawn apart, in a box of their own.
    if (!missing.isEmpty())
        out += QStringLiteral("  subgraph cluster_missing {\n    label=\"missing\";\n    color=\"#cc0000\";\n") + missing
               + QStringLiteral("  }\n");
    out += edgeLines + QStringLiteral("}\n");
    return out.toUtf8();
}

int RunInventory(const QString& verb, const Catalogue& catalogue, const LoadContext& load,
                 const InventoryRequest& request, QByteArray& out)
{
    if (verb == QStringLiteral("graph")) {
        out = DependencyGraph(catalogue, load);
        return 0;
    }
    OutputTable table;
    if (verb == QStringLiteral("missing"))
        table = MissingTable(catalogue, load);
    else if (verb == QStringLiteral("libraries"))
        table = LibrariesTable(catalogue, load);
    else
        table = UsesTable(catalogue, load, request.query);
    out = RenderTable(table, request.format);
    if (verb == QStringLiteral("libraries"))
        return 0;
    const bool found = !table.rows.isEmpty();
    return (verb == QStringLiteral("missing")) == found ? FoundProblemStatus : 0;
}
