#include "cli/ClosureCommand.h"

#include "catalogue/LoadContext.h"

#include <QHash>

namespace {

QString projectPathOf(const ClosureRecord& r, const LoadContext& load)
{
    return static_cast<std::size_t>(r.projectIndex) < load.projectPaths.size()
               ? load.projectPaths[static_cast<std::size_t>(r.projectIndex)]
               : QString();
}

}

void WriteClosure(const Catalogue& catalogue, const LoadContext& load, LoaderArch arch, OutputFormat format,
                  const OutputSink& sink, CsvFormulas formulas)
{
    TableWriter writer({"project", "file", "found", "how", "via", "system", "reason"}, format, sink, formulas);
    VisitClosure(catalogue, load, arch, [&](const ClosureRecord& r) {
        writer.row({projectPathOf(r, load), r.file, r.found, ClosureHowName(r.how), r.via, r.system, r.reason});
    });
    writer.finish();
}

qsizetype WriteDeepMissing(const OutputTable& missing, const Catalogue& catalogue, const LoadContext& load,
                           LoaderArch arch, OutputFormat format, const OutputSink& sink, CsvFormulas formulas)
{
    TableWriter writer(missing.columns + QStringList{QStringLiteral("via")}, format, sink, formulas);
    for (const QList<OutputValue>& row : missing.rows)
        writer.row(row + QList<OutputValue>{QString()});
    VisitClosure(catalogue, load, arch, [&](const ClosureRecord& r) {
        // A program not built yet is no missing file: there is nothing to ship or load yet.
        if (r.reason.isEmpty() || r.how == ClosureHow::Program)
            return;
        writer.row({projectPathOf(r, load), qint64(0), ClosureHowName(r.how), QString(), QString(), QString(), r.file,
                    QString(), r.reason, r.via});
    });
    writer.finish();
    return writer.rows();
}

OutputTable ShippedFilesTable(const Catalogue& catalogue, const LoadContext& load, LoaderArch arch)
{
    struct Shipped {
        QString file;
        QStringList how;
        QStringList projects;
    };
    std::vector<Shipped> files;
    QHash<QString, std::size_t> index; // lower-cased path -> its place in files
    VisitClosure(catalogue, load, arch, [&](const ClosureRecord& r) {
        if (r.found.isEmpty() || r.system || !r.reason.isEmpty())
            return;
        const QString key = r.found.toLower();
        auto it = index.constFind(key);
        if (it == index.constEnd()) {
            it = index.insert(key, files.size());
            files.push_back({r.found, {}, {}});
        }
        Shipped& shipped = files[*it];
        const QString how = ClosureHowName(r.how);
        if (!shipped.how.contains(how))
            shipped.how.append(how);
        const QString project = projectPathOf(r, load);
        if (shipped.projects.isEmpty() || shipped.projects.last() != project)
            if (!shipped.projects.contains(project))
                shipped.projects.append(project);
    });
    OutputTable table;
    table.columns = {"filePath", "how", "projects"};
    for (const Shipped& shipped : files)
        table.rows.append({shipped.file, shipped.how, shipped.projects});
    return table;
}
