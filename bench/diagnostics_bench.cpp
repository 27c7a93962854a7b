// Times the diagnostics window's list over a load where nothing resolves: the list made from the
// inventory, each column sorted both ways, a filter typed and cleared, the checked projects only,
// and the window shown with its view laid out; then its third tab, what the programs need: the
// closure's problems listed, and the tab shown.
//
//   QT_QPA_PLATFORM=offscreen diagnostics_bench PREFIX [RUNS] [FOLDER]
//
// RUNS defaults to 3, FOLDER to c:\bench\. PREFIX is one make_synthetic_prefix wrote without
// --libraries (10,000 projects in c:\bench\, 200,000 lines that do not resolve), or one
// bench/make-session-folder.py wrote, with FOLDER c:\sesion\ (copies of real projects, whose
// source files are not there).

#include "app/ClosureProblemsModel.h"
#include "app/DiagnosticsWindow.h"
#include "app/UnresolvedLinesModel.h"
#include "bench/MedianTime.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FolderScan.h"
#include "catalogue/Inventory.h"
#include "catalogue/LoadContext.h"
#include "platform/controls/MemoryControls.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/PathMapper.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>


int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: diagnostics_bench PREFIX [RUNS]\n");
        return 2;
    }
    PathMapper::setCurrent(QString::fromLocal8Bit(argv[1]));
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    ScriptedMessageBoxes messages;

    Catalogue catalogue;
    catalogue.ScanPath = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("c:\\bench\\");
    MemoryControls controls;
    LoadContext load;
    load.recordLines = true;
    load.recordSources = true; // as the window's load does, for the closure
    if (!ListScanPath(catalogue, controls.main) || !LoadListedProjects(catalogue, controls.main, load))
        return 1;
    const Inventory inventory(catalogue, std::move(load));
    std::printf("%d projects, %d unresolved lines in %d projects\n", catalogue.ProjectCount(),
                inventory.UnresolvedCount(), inventory.ProjectsWithUnresolved());

    UnresolvedLinesModel model;
    std::printf("list made from the inventory: %.0f ms\n", medianMs(runs, [&] { model.SetInventory(&inventory); }));
    for (int column = 0; column < UnresolvedLinesModel::ColumnCount; ++column) {
        const double up = medianMs(runs, [&] { model.sort(column, Qt::AscendingOrder); });
        const double down = medianMs(runs, [&] { model.sort(column, Qt::DescendingOrder); });
        std::printf("sort by %s: %.0f ms ascending, %.0f ms descending\n",
                    UnresolvedLinesModel::Headers()[column].toUtf8().constData(), up, down);
    }
    // Each figure is taken before the row count it is printed with.
    const double filtered = medianMs(runs, [&] {
        model.SetFilter(QString());
        model.SetFilter(QStringLiteral("ctl7.ocx"));
    });
    std::printf("filter \"ctl7.ocx\": %.0f ms (%d rows)\n", filtered, model.rowCount());
    const double cleared = medianMs(runs, [&] {
        model.SetFilter(QStringLiteral("x"));
        model.SetFilter(QString());
    });
    std::printf("filter cleared: %.0f ms (%d rows)\n", cleared, model.rowCount());
    const double checked = medianMs(runs, [&] { model.SetProjectFilter([](int project) { return project % 2 == 0; }); });
    std::printf("checked projects only (every other): %.0f ms (%d rows)\n", checked, model.rowCount());
    model.SetProjectFilter(nullptr);

    DiagnosticsWindow window;
    window.resize(1000, 600);
    std::printf("window given the inventory and shown: %.0f ms\n", medianMs(1, [&] {
                    window.SetInventory(&inventory);
                    window.show();
                    QApplication::processEvents();
                }));
    std::printf("sorted by the view's header, then repainted: %.0f ms\n", medianMs(runs, [&] {
                    window.linesView()->sortByColumn(UnresolvedLinesModel::Reason, Qt::DescendingOrder);
                    window.linesView()->repaint();
                }));

    ClosureProblemsModel closure;
    std::printf("closure's problems listed: %.0f ms", medianMs(runs, [&] { closure.SetInventory(&inventory); }));
    std::printf(" (%d rows)\n", closure.rowCount());
    std::printf("closure tab shown, its problems listed, sorted and laid out: %.0f ms\n", medianMs(1, [&] {
                    window.tabs()->setCurrentWidget(window.closureView());
                    QApplication::processEvents();
                }));
    return 0;
}
