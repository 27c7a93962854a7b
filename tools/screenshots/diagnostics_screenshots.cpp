// Takes the pictures of the diagnostics for docs/: the main window after a load that left lines
// unresolved, with its line under the status bar, and the diagnostics window over it.
//   diagnostics-screenshots OUTPUT_FOLDER FOLDER   (WINEPREFIX set; under Xvfb or offscreen)
#include "app/DiagnosticsWindow.h"
#include "app/frmMain.h"
#include "catalogue/Catalogue.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/QtMessageBoxes.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: diagnostics-screenshots OUTPUT_FOLDER FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QtMessageBoxes boxes;
    InstallMessageBoxAnswerer(&boxes);
    Catalogue catalogue;
    frmMain window(catalogue, nullptr, QString::fromLocal8Bit(argv[2]));
    window.resize(760, 540);
    window.show();
    window.Carga();
    QTimer::singleShot(500, [&] {
        if (!window.grab().save(out.filePath(QStringLiteral("main-window-missing.png"))))
            std::fprintf(stderr, "cannot save the main window\n");
        DiagnosticsWindow* diagnostics = window.ShowDiagnostics();
        diagnostics->resize(1240, 460);
        diagnostics->linesView()->sortByColumn(8, Qt::AscendingOrder);
        QTimer::singleShot(500, [&, diagnostics] {
            if (!diagnostics->grab().save(out.filePath(QStringLiteral("diagnostics-window.png"))))
                std::fprintf(stderr, "cannot save the diagnostics window\n");
            diagnostics->tabs()->setCurrentWidget(diagnostics->closureView());
            QTimer::singleShot(500, [&, diagnostics] {
                if (!diagnostics->grab().save(out.filePath(QStringLiteral("diagnostics-closure.png"))))
                    std::fprintf(stderr, "cannot save the closure tab\n");
                QApplication::quit();
            });
        });
    });
    return app.exec();
}
