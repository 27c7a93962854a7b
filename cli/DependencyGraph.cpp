#include "cli/DependencyGraph.h"

#include "catalogue/Catalogue.h"
#include "catalogue/FileHelpers.h"
#include "catalogue/Inventory.h"
#include "catalogue/UnresolvedLines.h"
#include "output/OutputFormat.h"

#include <QHash>
#include <QSet>
#include <QStringList>

namespace {

// A DOT string literal; control characters (C1 too) become spaces, "\n" in `text` is kept as a line break.
QString dotString(const QStringList& lines)
{
    QString out = QStringLiteral("\"");
    for (qsizetype l = 0; l < lines.size(); ++l) {
        if (l > 0)
            out += QStringLiteral("\\n");
        for (QChar c : OutputText::valid(lines[l])) {
            if (c == u'"' || c == u'\\')
                out += u'\\';
            out += OutputText::isControl(c) ? QChar(u' ') : c;
        }
    }
    return out + u'"';
}

// The DOT text of the graph, written in steps: the nodes in the order they are met, the missing
// lines' nodes apart (they go in a box of their own) and the edges apart, each edge once in the
// order first drawn; text() puts them together.
class DotGraph {
public:
    explicit DotGraph(const Inventory& inventory) : inventory_(inventory) {}

    // A box per loaded project, labelled with its Name and file name.
    void addProjects();
    // A node per distinct library (a component shape for components), with an edge from each
    // project that uses it.
    void addLibraries();
    // The recorded lines in order: references to other project files, and the lines that are
    // missing.
    void addLines();
    // Thin edges to the files the closure adds, from the project or the file that needs each.
    void addClosure(const std::vector<ClosureRecord>& closure);
    QByteArray text() const;

private:
    void addEdge(const QString& from, const QString& to, const QString& style);
    // A bold edge to the loaded project, else to a dashed node of the file's own, one per file.
    void addProjectReference(const QString& from, const RecordedLine& line);
    // A red edge to a red node, one per distinct missing line (kind, GUID, version, path and
    // reason).
    void addMissing(const QString& from, const RecordedLine& line);

    const Inventory& inventory_;
    QString nodes_;
    QString missingNodes_;
    QString edges_;
    QSet<QString> edgesDrawn_;
    QHash<QString, int> projectByPath_;       // a loaded project's path, case folded
    QHash<QString, QString> otherProjects_;   // a file not loaded, case folded: its node
    QHash<QString, QString> missingByLine_;   // a missing line's key: its node
    QHash<QString, QString> libraryByPath_;   // a library's file, case folded: its node
    QHash<QString, QString> closureFiles_;    // a closure file's found path or problem: its node
};

void DotGraph::addProjects()
{
    const Catalogue& catalogue = *inventory_.catalogue();
    for (int i = 1; i <= catalogue.ProjectCount(); ++i) {
        const ProjectEntry& project = catalogue.Projects[i];
        projectByPath_.insert(inventory_.ProjectPath(i).toCaseFolded(), i);
        const QString file = ExtraeNombreArchivo(inventory_.ProjectPath(i));
        nodes_ += QStringLiteral("  p%1 [shape=box, style=filled, fillcolor=\"#cfe2f3\", label=%2];\n")
                      .arg(i)
                      .arg(dotString(project.Name.isEmpty() ? QStringList{file} : QStringList{project.Name, file}));
    }
}

void DotGraph::addLibraries()
{
    const std::vector<LibraryUse> libraries = inventory_.LibrariesInOrder();
    for (std::size_t n = 0; n < libraries.size(); ++n) {
        const DependencyEntry& e = *libraries[n].entry;
        const bool component = e.Kind == DependencyKind::Component;
        nodes_ += QStringLiteral("  l%1 [shape=%2, style=filled, fillcolor=\"%3\", label=%4];\n")
                      .arg(n + 1)
                      .arg(component ? QStringLiteral("component") : QStringLiteral("ellipse"),
                           component ? QStringLiteral("#fff2cc") : QStringLiteral("#d9ead3"),
                           dotString({ExtraeNombreArchivo(e.FilePath),
                                      QString::number(e.MajorVersion) + u'.' + QString::number(e.MinorVersion)}));
        libraryByPath_.insert(e.FilePath.toCaseFolded(), QStringLiteral("l%1").arg(n + 1));
        for (int i : libraries[n].projects)
            addEdge(QStringLiteral("p%1").arg(i), QStringLiteral("l%1").arg(n + 1), QString());
    }
}

void DotGraph::addLines()
{
    for (const RecordedLine& line : inventory_.Lines()) {
        const QString from = QStringLiteral("p%1").arg(line.projectIndex);
        if (line.reason.isEmpty())
            addProjectReference(from, line);
        else
            addMissing(from, line);
    }
}

void DotGraph::addProjectReference(const QString& from, const RecordedLine& line)
{
    if (const auto it = projectByPath_.constFind(line.target.toCaseFolded()); it != projectByPath_.constEnd()) {
        addEdge(from, QStringLiteral("p%1").arg(*it), QStringLiteral(" [style=bold]"));
        return;
    }
    QString& node = otherProjects_[line.target.toCaseFolded()];
    if (node.isEmpty()) {
        node = QStringLiteral("x%1").arg(otherProjects_.size());
        nodes_ += QStringLiteral("  %1 [shape=box, style=dashed, label=%2];\n")
                      .arg(node, dotString({ExtraeNombreArchivo(line.target), QStringLiteral("(not loaded)")}));
    }
    addEdge(from, node, QStringLiteral(" [style=bold]"));
}

void DotGraph::addMissing(const QString& from, const RecordedLine& line)
{
    const WrittenFields f = FieldsAsWritten(line);
    const QString what = !f.name.isEmpty() ? f.name : !f.path.isEmpty() ? ExtraeNombreArchivo(f.path) : f.guid;
    const QString key = line.kind + u'#' + f.guid.toUpper() + u'#' + f.version + u'#' + f.path.toCaseFolded() + u'#'
                        + line.reason;
    QString& node = missingByLine_[key];
    if (node.isEmpty()) {
        node = QStringLiteral("m%1").arg(missingByLine_.size());
        missingNodes_ += QStringLiteral("    %1 [shape=octagon, color=\"#cc0000\", fontcolor=\"#cc0000\", label=%2];\n")
                             .arg(node, dotString({what, line.reason}));
    }
    addEdge(from, node, QStringLiteral(" [style=dashed, color=\"#cc0000\"]"));
}

void DotGraph::addEdge(const QString& from, const QString& to, const QString& style)
{
    const QString edge = from + u'>' + to;
    if (edgesDrawn_.contains(edge))
        return;
    edgesDrawn_.insert(edge);
    edges_ += QStringLiteral("  %1 -> %2%3;\n").arg(from, to, style);
}

void DotGraph::addClosure(const std::vector<ClosureRecord>& closure)
{
    // Each record's chain names the file that needs it; the node of each chain is kept to find it.
    QHash<QString, QString> nodeOfChain;
    for (const ClosureRecord& r : closure) {
        const QString chain = QString::number(r.projectIndex) + u'|' + r.via;
        QString node;
        if (r.how == ClosureHow::Reference || r.how == ClosureHow::Component) {
            node = libraryByPath_.value(r.found.toCaseFolded());
        } else if (!r.system || !r.reason.isEmpty()) {
            const QString key = r.reason.isEmpty() ? r.found.toCaseFolded() : r.file.toCaseFolded() + u'|' + r.reason;
            QString& known = closureFiles_[key];
            if (known.isEmpty()) {
                known = QStringLiteral("c%1").arg(closureFiles_.size());
                if (r.reason.isEmpty())
                    nodes_ += QStringLiteral("  %1 [shape=note, label=%2];\n").arg(known, dotString({r.file}));
                else
                    missingNodes_ += QStringLiteral("    %1 [shape=octagon, color=\"#cc0000\", fontcolor=\"#cc0000\", label=%2];\n")
                                         .arg(known, dotString({r.file, r.reason}));
            }
            node = known;
        }
        if (node.isEmpty())
            continue;
        nodeOfChain.insert(chain, node);
        if (r.how == ClosureHow::Reference || r.how == ClosureHow::Component)
            continue;
        const QString parentChain = QString::number(r.projectIndex) + u'|' + r.parentVia().toString();
        // A source file is no node: what its code or form needs hangs from the project.
        const QString from = nodeOfChain.value(parentChain, QStringLiteral("p%1").arg(r.projectIndex));
        addEdge(from, node, r.reason.isEmpty() ? QStringLiteral(" [penwidth=0.5]")
                                               : QStringLiteral(" [penwidth=0.5, style=dashed, color=\"#cc0000\"]"));
    }
}

QByteArray DotGraph::text() const
{
    QString out = QStringLiteral("digraph dependencies {\n"
                                 "  rankdir=LR;\n"
                                 "  graph [fontname=\"Helvetica\", fontsize=11];\n"
                                 "  node [fontname=\"Helvetica\", fontsize=10];\n"
                                 "  edge [color=\"#555555\"];\n")
                  + nodes_;
    if (!missingNodes_.isEmpty())
        out += QStringLiteral("  subgraph cluster_missing {\n    label=\"missing\";\n    color=\"#cc0000\";\n")
               + missingNodes_ + QStringLiteral("  }\n");
    out += edges_ + QStringLiteral("}\n");
    return out.toUtf8();
}

}

QByteArray DependencyGraph(const Inventory& inventory, const std::vector<ClosureRecord>* closure)
{
    DotGraph graph(inventory);
    graph.addProjects();
    graph.addLibraries();
    graph.addLines();
    if (closure)
        graph.addClosure(*closure);
    return graph.text();
}
