// Times the main window's handling of a large tree (offscreen): adding 10,000 project nodes with
// 20 dependency leaves each through the tree store while the view watches, showing the result,
// checking the root (which checks every project), and closing (which empties the tree).
//
//   QT_QPA_PLATFORM=offscreen window_bench [PROJECTS] [LEAVES_PER_PROJECT]

#include "app/frmMain.h"
#include "catalogue/Catalogue.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/PathMapper.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeView>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int projects = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int leaves = argc > 2 ? std::atoi(argv[2]) : 20;
    QTemporaryDir prefix; // an empty prefix: the window's own first load finds nothing
    PathMapper::setCurrent(prefix.path());
    ScriptedMessageBoxes messages;

    Catalogue catalogue;
    frmMain window(catalogue);
    window.resize(800, 600);
    window.show();
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    MemoryTree& tree = window.tree();
    auto* model = static_cast<TreeModel*>(window.treeView()->model());
    model->SetBatching(true); // as the window's load does
    tree.Clear();
    catalogue.Reset();
    tree.Add({}, "root", "Sistemas", 7);
    int branch = 1;
    for (int i = 1; i <= projects; ++i) {
        catalogue.AppendProject(i);
        catalogue.Projects[i].Name = QStringLiteral("Proyecto%1").arg(i);
        const QString key = QStringLiteral("k%1").arg(i);
        const int node = tree.Add("root", key, catalogue.Projects[i].Name + QStringLiteral(" (p.vbp)"), 7);
        tree.EnsureVisible(node);
        const QString references = QStringLiteral("dll%1").arg(branch++);
        tree.Add(key, references, "Referencias", 20);
        for (int k = 0; k < leaves; ++k)
            tree.Add(references, QStringLiteral("fileREFDLL%1").arg(i * leaves + k), "biblioteca.tlb", 20);
        QApplication::processEvents(); // the load's one turn per file
    }
    model->SetBatching(false);
    const double loadMs = timer.nsecsElapsed() / 1e6;

    timer.restart();
    QApplication::processEvents();
    window.treeView()->viewport()->grab();
    const double showMs = timer.nsecsElapsed() / 1e6;

    timer.restart();
    tree.SetChecked(tree.Find("root"), true);
    window.treeMain_NodeCheck(tree.Find("root"));
    QApplication::processEvents();
    const double checkMs = timer.nsecsElapsed() / 1e6;

    timer.restart();
    window.close();
    QApplication::processEvents();
    const double closeMs = timer.nsecsElapsed() / 1e6;

    std::printf("%d projects, %d nodes\n", projects, projects * (leaves + 2) + 1);
    std::printf("adding with the view attached: %.0f ms; shown after the load: %.0f ms; root check: %.0f ms; close: %.0f ms\n",
                loadMs, showMs, checkMs, closeMs);
    return 0;
}
