#include "app/common/CIni.h"
#include "app/common/mMain.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FolderScan.h"
#include "catalogue/LoadContext.h"
#include "cli/CatalogueListing.h"
#include "cli/CommandLine.h"
#include "cli/ReportCommand.h"
#include "output/ExportarExcel.h"
#include "platform/controls/MemoryControls.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/PathMapper.h"
#include "support/Version.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// A Windows path stays as it is; anything else is a host path, taken to Windows form.
QString windowsFolder(const QString& argument)
{
    if (PathMapper::isDrivePath(argument))
        return argument;
    return PathMapper::current().toWindows(QDir::current().absoluteFilePath(argument));
}

void writeOut(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

int exportWorkbook(const Catalogue& catalogue, MemoryControls& controls, const CommandLine& line)
{
    const QString folder = !line.output.isEmpty()
                               ? windowsFolder(line.output)
                               : PathMapper::current().toWindows(QCoreApplication::applicationDirPath());
    if (!ExportarExcel(catalogue, controls.statusBar, {}, folder))
        return 1;
    writeOut(PathMapper::current().toHost(JoinWindowsPath(folder, ExportFiles::Workbook)).toUtf8() + '\n');
    return 0;
}

}

int main(int argc, char* argv[])
{
    // The report lays its text out in fonts and may print: it needs the GUI application, which
    // runs without a screen.
    bool reporting = false;
    for (int i = 1; i < argc; ++i)
        reporting = reporting || std::strcmp(argv[i], "report") == 0;
    if (reporting && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app;
    if (reporting)
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(Version::AppTitle));

    CommandLine line;
    if (const int status = ReadCommandLine(QCoreApplication::arguments().mid(1), line); status >= 0)
        return status;

    StandardErrorMessageBoxes messages;
    InstallMessageBoxAnswerer(&messages);

    Catalogue catalogue;
    catalogue.ScanPath = line.folder.isEmpty() ? LeerScanPath(SharedIni()) : windowsFolder(line.folder);
    MemoryControls controls;
    if (!ListScanPath(catalogue, controls.main))
        return 1;
    LoadContext load;
    if (!LoadListedProjects(catalogue, controls.main, load))
        return 1;

    if (line.verb == QStringLiteral("report"))
        return RunReport(controls, catalogue, line.report, line.output.isEmpty() ? QString() : windowsFolder(line.output));
    if (line.verb == QStringLiteral("export"))
        return exportWorkbook(catalogue, controls, line);
    writeOut(line.verb == QStringLiteral("tree") ? CatalogueListing::tree(controls.tree)
                                                 : CatalogueListing::catalogue(catalogue));
    return 0;
}
