// Runs a whole user session over one folder, offscreen, as a user would click it, and prints one
// line per step with its wall time and the peak memory so far: the main window's load with the
// tree painted, "Seleccionar Todos", the print options' count (up to the progress dialog), the
// detailed report window opened (built, styled and painted), saving it as RTF and as TXT, the
// same for the summary report, the spreadsheet export, closing the window.
//
//   QT_QPA_PLATFORM=offscreen WINEPREFIX=PREFIX session_bench FOLDER [OUTPUT_DIR]
//
// FOLDER is a Windows path through the prefix or a host path; the saved reports go to OUTPUT_DIR
// (a host folder, default a temporary one), the workbook to the program's own folder as the window
// writes it. bench/make-session-folder.py makes a realistic prefix and folder.

#include "app/frmMain.h"
#include "catalogue/Catalogue.h"
#include "output/frmAccion.h"
#include "output/frmImprimir.h"
#include "output/frmReporte.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/PathMapper.h"
#include "platform/registry/SystemCodePage.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <sys/resource.h>

namespace {

double peakMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Processor time of the process (user and system), in ms: on a machine shared with other work
// it says what a step costs when the wall time says mostly how long it waited.
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

QElapsedTimer clock_;
double stepCpu_ = 0;

double now()
{
    stepCpu_ = cpuMs();
    return clock_.nsecsElapsed() / 1e6;
}

void report(const char* step, double startMs, const QString& detail = {})
{
    std::printf("%-24s %9.1f ms wall %9.1f ms cpu  peak %6.1f MB  %s\n", step, clock_.nsecsElapsed() / 1e6 - startMs,
                cpuMs() - stepCpu_, peakMB(), detail.toUtf8().constData());
    std::fflush(stdout);
}

// Records the moment the progress dialog shows and, once the report window has shown inside its
// modal loop, paints it, saves it and closes it.
class ReportWatcher : public QObject {
public:
    QString outputDir;
    const char* kind = "";
    double clickAt = 0;

    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        if (object->objectName() == QStringLiteral("frmAccion") && !countDone_) {
            countDone_ = true;
            report("print options count", clickAt);
            shownFrom_ = now();
        } else if (auto* window = qobject_cast<frmReporte*>(object)) {
            QTimer::singleShot(0, window, [this, window] { shown(window); });
        }
        return false;
    }

    void reset() { countDone_ = false; }

private:
    void shown(frmReporte* window)
    {
        window->txtView()->viewport()->grab();
        report(qPrintable(QStringLiteral("%1 report open").arg(QString::fromLatin1(kind))), shownFrom_,
               QStringLiteral("%1 characters").arg(window->txt().Text().size()));
        for (const auto& [suffix, format] : {std::pair{"rtf", RichTextFormat::rtfRTF}, std::pair{"txt", RichTextFormat::rtfText}}) {
            const QString host = QDir(outputDir).filePath(QStringLiteral("%1.%2").arg(QString::fromLatin1(kind), QString::fromLatin1(suffix)));
            const double start = now();
            window->txt().SaveFile(PathMapper::current().toWindows(host), format);
            report(qPrintable(QStringLiteral("%1 save %2").arg(QString::fromLatin1(kind), QString::fromLatin1(suffix).toUpper())),
                   start, QStringLiteral("%1 bytes").arg(QFileInfo(host).size()));
        }
        window->close();
    }

    bool countDone_ = false;
    double shownFrom_ = 0;
};

}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: session_bench FOLDER [OUTPUT_DIR]   (the prefix from $WINEPREFIX)\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir temporary;
    const QString outputDir = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temporary.path();
    ScriptedMessageBoxes messages;
    messages.onShow = [](const MessageBoxRequest& request) {
        std::printf("  (message: %s)\n", request.text.toUtf8().constData());
    };
    // The code page of the prefix (or ZANTREL_CODEPAGE), as the program chooses it at start.
    UseCodePage(ChooseCodePage());
    clock_.start();

    Catalogue catalogue;
    double start = now();
    frmMain window(catalogue);
    catalogue.ScanPath = folder;
    window.resize(800, 600);
    window.show();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&window, &activate);
    QApplication::processEvents();
    window.treeView()->viewport()->grab();
    int dependencies = 0;
    for (int i = 1; i <= catalogue.ProjectCount(); ++i)
        dependencies += catalogue.DependencyCount(i);
    report("load shown", start, QStringLiteral("%1 projects, %2 dependencies, %3 nodes")
                                    .arg(catalogue.ProjectCount()).arg(dependencies).arg(window.tree().Count()));

    start = now();
    window.findChild<QAction*>(QStringLiteral("mnuEdicion_SelTodos"))->trigger();
    QApplication::processEvents();
    int checked = 0;
    for (int p = 1; p <= window.tree().Count(); ++p)
        checked += window.tree().Node(p).checked && window.tree().Node(p).key.startsWith(u'k');
    report("select all", start, QStringLiteral("%1 project nodes checked").arg(checked));

    ReportWatcher watcher;
    watcher.outputDir = outputDir;
    app.installEventFilter(&watcher);
    window.findChild<QAction*>(QStringLiteral("cmdPrint"))->trigger();
    QApplication::processEvents();
    frmImprimir* options = frmImprimir::current();
    for (const auto& [kind, index] : {std::pair{"detailed", 0}, std::pair{"summary", 1}}) {
        options->opt(index)->setChecked(true);
        watcher.kind = kind;
        watcher.reset();
        watcher.clickAt = now();
        options->cmd_Click(0);
        QApplication::processEvents();
    }
    app.removeEventFilter(&watcher);
    options->cmd_Click(1);
    QApplication::processEvents();

    start = now();
    messages.script({MsgAnswer::Yes, MsgAnswer::Ok});
    window.tlbMain_ButtonClick(QStringLiteral("cmdExcel"));
    report("export", start);

    start = now();
    window.close();
    QApplication::processEvents();
    report("close", start);
    return 0;
}
