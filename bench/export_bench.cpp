// Times the spreadsheet export of a synthetic catalogue, from filling the grid to the committed
// proyectos.xls and proyectos.log:
//
//   export_bench [OUTPUT_FOLDER] [PROJECTS] [ENTRIES_PER_PROJECT] [RUNS]
//
// Defaults: a temporary folder, 1,000 projects of 29 entries each (29,000 data rows, 30,001
// rows with the header and the empty rows), 10 runs. Prints the best and median time, the file
// size and the peak memory before and after the exports.

#include "catalogue/Catalogue.h"
#include "output/ExportarExcel.h"
#include "platform/controls/MemoryControls.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/PathMapper.h"
#include "platform/xls/SpreadGrid.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

long peakKB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Projects that share a pool of 300 libraries, as real folders do.
Catalogue makeCatalogue(int projects, int entries)
{
    Catalogue catalogue;
    for (int p = 1; p <= projects; ++p) {
        catalogue.AppendProject(p);
        int counter = 1;
        for (int e = 0; e < entries; ++e) {
            const int library = (p * 7 + e * 13) % 300;
            DependencyEntry entry;
            entry.Kind = e % 4 == 0 ? DependencyKind::Component : DependencyKind::Reference;
            entry.FilePath = QStringLiteral("C:\\Windows\\system32\\biblioteca%1.dll").arg(library);
            entry.Guid = QStringLiteral("{%1-0000-0000-C000-000000000046}").arg(library, 8, 16, QLatin1Char('0'));
            entry.Description = QStringLiteral("Biblioteca de tipos número %1 para facturación").arg(library);
            entry.MajorVersion = library % 7;
            entry.MinorVersion = library % 3;
            entry.SizeKB = library * 13;
            entry.FileDate = QStringLiteral("%1/05/2004 10:%2:00").arg(library % 28 + 1, 2, 10, QLatin1Char('0'))
                                 .arg(library % 60, 2, 10, QLatin1Char('0'));
            catalogue.AppendDependency(p, counter, entry);
        }
        catalogue.SetProjectFields(p, QStringLiteral("Proyecto%1.vbp").arg(p), 1 + p % 4,
                                   QStringLiteral("Proyecto%1").arg(p));
    }
    return catalogue;
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTemporaryDir temporary;
    const QString folder = args.size() > 1 ? args[1] : temporary.path();
    const int projects = args.size() > 2 ? args[2].toInt() : 1000;
    const int entries = args.size() > 3 ? args[3].toInt() : 29;
    const int runs = args.size() > 4 ? args[4].toInt() : 10;

    StandardErrorMessageBoxes messages;
    InstallMessageBoxAnswerer(&messages);
    const Catalogue catalogue = makeCatalogue(projects, entries);
    const QString programFolder = PathMapper::current().toWindows(QFileInfo(folder).absoluteFilePath());
    const long before = peakKB();

    SpreadGrid grid;
    MemoryStatusBar status;
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        if (!ExportarExcel(catalogue, grid, status, {}, programFolder)) {
            std::fprintf(stderr, "export failed\n");
            return 1;
        }
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    const qint64 size = QFileInfo(folder + QStringLiteral("/proyectos.xls")).size();
    std::printf("rows %d (%d data rows, %d cells), file %.2f MB\n", grid.DataRowCnt(), projects * entries,
                projects * entries * 9 + 9, size / 1048576.0);
    std::printf("export: best %.1f ms, median %.1f ms over %d runs\n", times.front(), times[times.size() / 2], runs);
    std::printf("peak memory: %.1f MB with the catalogue, %.1f MB after the exports\n", before / 1024.0,
                peakKB() / 1024.0);
    return 0;
}
