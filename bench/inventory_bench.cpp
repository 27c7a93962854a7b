// Times zantrel-cli's inventory verbs against its catalogue listing over the same load, and a
// load of a folder tree against the flat load of the same files.
//
//   inventory_bench PREFIX [RUNS]      (RUNS defaults to 5)
//
// PREFIX is one make_synthetic_prefix wrote (10,000 projects in c:\bench\). The first run lays
// the same files out in c:\benchtree\ as 1,000 folders of 10 projects (100 folders, each with
// 9 below it, hard links to c:\bench\'s files). Each figure is a whole run as zantrel-cli makes
// it: the load (with the unresolved lines kept for the inventory verbs) and the output.

#include "bench/MedianTime.h"
#include "catalogue/Catalogue.h"
#include "catalogue/LoadContext.h"
#include "cli/InventoryCommands.h"
#include "platform/controls/MemoryControls.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/PathMapper.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

bool makeTree(const QString& prefix)
{
    const QString flat = prefix + QStringLiteral("/drive_c/bench");
    const QString tree = prefix + QStringLiteral("/drive_c/benchtree");
    if (QDir(tree).exists())
        return true;
    QStringList files = QDir(flat).entryList({QStringLiteral("*.vbp")}, QDir::Files, QDir::Name);
    if (files.size() < 10000) {
        std::fprintf(stderr, "c:\\bench\\ holds %lld projects; 10,000 are needed\n", static_cast<long long>(files.size()));
        return false;
    }
    int next = 0;
    for (int top = 0; top < 100; ++top) {
        const QString group = tree + QStringLiteral("/g%1").arg(top, 2, 10, QChar(u'0'));
        for (int sub = -1; sub < 9; ++sub) {
            const QString folder = sub < 0 ? group : group + QStringLiteral("/s%1").arg(sub);
            QDir().mkpath(folder);
            for (int n = 0; n < 10; ++n, ++next)
                if (!QFile::link(flat + u'/' + files[next], folder + u'/' + files[next])
                    && !QFile::copy(flat + u'/' + files[next], folder + u'/' + files[next]))
                    return false;
        }
    }
    return true;
}


}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: inventory_bench PREFIX [RUNS]\n");
        return 2;
    }
    const QString prefix = QString::fromLocal8Bit(argv[1]);
    PathMapper::setCurrent(prefix);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    StandardErrorMessageBoxes messages;
    InstallMessageBoxAnswerer(&messages);
    if (!makeTree(prefix))
        return 1;

    qsizetype bytes = 0;
    int projects = 0, missing = 0;
    auto verb = [&](const QString& folder, const QString& name, bool recursive) {
        return [&, folder, name, recursive] {
            Catalogue catalogue;
            catalogue.ScanPath = folder;
            MemoryControls controls;
            LoadContext load;
            // "load" and "load keeping lines" name no verb: the load alone.
            const std::optional<Verb> parsed = ParseVerb(name);
            load.recordLines = (parsed && RecordsLines(*parsed)) || name == QStringLiteral("load keeping lines");
            LoadForCommandLine(catalogue, controls.main, load, recursive);
            QByteArray out;
            InventoryRequest request;
            request.query = QStringLiteral("ctl7.ocx");
            if (!parsed)
                out.clear();
            else if (*parsed == Verb::Catalogue)
                out = CatalogueOutput(catalogue, load, OutputFormat::Tsv);
            else
                RunInventory(*parsed, catalogue, load, request, out);
            bytes = out.size();
            projects = catalogue.ProjectCount();
            missing = static_cast<int>(std::count_if(load.recordedLines.begin(), load.recordedLines.end(),
                                                     [](const RecordedLine& r) { return !r.reason.isEmpty(); }));
        };
    };
    std::printf("%-34s %10s %9s %10s\n", "run", "median ms", "projects", "out bytes");
    for (const char* name : {"load", "load keeping lines", "catalogue", "missing", "libraries", "uses", "graph"}) {
        const double ms = medianMs(runs, verb(QStringLiteral("c:\\bench\\"), QString::fromLatin1(name), false));
        std::printf("%-34s %10.0f %9d %10lld%s\n", name, ms, projects, static_cast<long long>(bytes),
                    std::strcmp(name, "missing") == 0 ? qPrintable(QStringLiteral(" (%1 missing)").arg(missing)) : "");
    }
    const double flat = medianMs(runs, verb(QStringLiteral("c:\\bench\\"), QStringLiteral("catalogue"), false));
    const int flatProjects = projects;
    const double tree = medianMs(runs, verb(QStringLiteral("c:\\benchtree\\"), QStringLiteral("catalogue"), true));
    std::printf("%-34s %10.0f %9d\n", "catalogue, flat folder", flat, flatProjects);
    std::printf("%-34s %10.0f %9d   (%.2fx the flat load)\n", "catalogue -r, 1,000 folders", tree, projects, tree / flat);
    return 0;
}
