// Times the folder load as the window runs it (listing, reading, resolving, tree, status and
// progress, one event-loop turn per file) over the in-memory controls, and reports peak memory.
//
//   load_bench PREFIX [FOLDER] [RUNS]      (FOLDER defaults to c:\bench\, RUNS to 5)

#include "catalogue/Catalogue.h"
#include "catalogue/FolderScan.h"
#include "platform/controls/MemoryControls.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/PathMapper.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: load_bench PREFIX [FOLDER] [RUNS]\n");
        return 2;
    }
    PathMapper::setCurrent(QString::fromLocal8Bit(argv[1]));
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("c:\\bench\\");
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    StandardErrorMessageBoxes messages;
    InstallMessageBoxAnswerer(&messages);

    Catalogue catalogue;
    MemoryControls controls;
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        controls.main.Dir1.SetPath(folder);
        controls.main.File1.Refresh();
        CargaProyectos(catalogue, controls.main);
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    int dependencies = 0;
    for (int i = 1; i <= catalogue.ProjectCount(); ++i)
        dependencies += catalogue.DependencyCount(i);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("projects %d, dependencies %d, tree nodes %d\n", catalogue.ProjectCount(), dependencies, controls.tree.Count());
    std::printf("load: best %.1f ms, median %.1f ms over %d runs; peak memory %.1f MB\n", times.front(),
                times[times.size() / 2], runs, usage.ru_maxrss / 1024.0);
    return 0;
}
