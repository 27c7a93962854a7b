#include "app/common/CIni.h"
#include "app/common/mMain.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FolderScan.h"
#include "catalogue/Inventory.h"
#include "catalogue/LoadContext.h"
#include "cli/CatalogueListing.h"
#include "cli/ClosureCommand.h"
#include "cli/CommandLine.h"
#include "cli/InventoryCommands.h"
#include "cli/ManifestCommand.h"
#include "cli/ReportCommand.h"
#include "output/ExportarExcel.h"
#include "output/OutputFormat.h"
#include "output/XlsxExport.h"
#include "platform/controls/MemoryControls.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/core/QtTranslations.h"
#include "platform/files/HostNames.h"
#include "platform/files/PathMapper.h"
#include "platform/files/UserFolders.h"
#include "platform/registry/SystemCodePage.h"
#include "platform/typelib/PrefixCheck.h"
#include "platform/xls/SpreadGrid.h"
#include "support/Version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QtGlobal>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <new>

namespace {

QtMessageHandler qtMessages = nullptr;

// Qt warns when XDG_RUNTIME_DIR is not set (a run as root, from cron or over ssh) and goes on
// with a folder of its own; nothing zantrel-cli does depends on that folder, so that one warning
// is dropped. Every other message goes on to Qt's own handler unchanged.
void dropRuntimeFolderWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    qtMessages(type, context, message);
}

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

// Standard output as the outputs' sink: each record goes out as soon as it is made.
const OutputSink StandardOutput = [](const QByteArray& piece) { writeOut(piece); };

int exportWorkbook(const Catalogue& catalogue, const LoadContext& load, MemoryControls& controls, const CommandLine& line)
{
    const QString folder = !line.output.isEmpty() ? windowsFolder(line.output) : OutputFolder();
    QString name = ExportFiles::Workbook;
    if (line.format == QStringLiteral("xlsx")) {
        if (!ExportarExcelXlsx(catalogue, folder))
            return 1;
        name = XlsxExportFiles::Workbook;
    } else {
        // The sheet holds what resolved; the log says what did not.
        SpreadGrid grid;
        grid.SetLogNotes(ExportLogNotes(Inventory(catalogue, load)));
        if (!ExportarExcel(catalogue, grid, controls.statusBar, {}, folder))
            return 1;
    }
    // A line break or another control character in the folder's name is written as an escape
    // (as a TSV field: a backslash doubled), so the path stays one line.
    writeOut(OutputText::tsvField(PathMapper::current().toHost(JoinWindowsPath(folder, name))).toUtf8() + '\n');
    return 0;
}

// Said once, before the load: without a prefix, or in one that cannot answer for a 32-bit
// program, the load runs but nothing it names can be resolved.
void warnAboutPrefix()
{
    const PrefixCheck check = CheckCurrentPrefix();
    if (check.problem != PrefixProblem::None)
        std::fprintf(stderr, "zantrel-cli: warning: %s\n", PrefixProblemText(check).toUtf8().constData());
}

// Reads with the world's code page, or the one the run names, and says so when it is not the
// Western page or when a page named could not be used.
void chooseCodePage(std::optional<int> commandLine)
{
    const CodePageChoice choice = ChooseCodePage(commandLine);
    UseCodePage(choice);
    const QString notice = CodePageNotice(choice);
    for (const QString& line : notice.split(u'\n', Qt::SkipEmptyParts))
        std::fprintf(stderr, "zantrel-cli: %s\n", line.toUtf8().constData());
}

// After a load that failed: when the folder itself cannot be read, says which one, as the
// Windows path the load used and the host folder it stands for.
void nameUnreadableFolder(const QString& windowsPath)
{
    const QString host = PathMapper::current().toHost(windowsPath);
    QString where;
    if (host.isEmpty()) {
        where = PathMapper::isDrivePath(windowsPath)
                    ? QStringLiteral("no host folder: drive ") + windowsPath.left(2).toUpper() + QStringLiteral(" is not mapped")
                    : QStringLiteral("no host folder");
    } else if (DIR* dir = ::opendir(QFile::encodeName(host).constData())) {
        // It can be read: the load ended for another reason, which its message gave.
        ::closedir(dir);
        return;
    } else {
        where = host;
    }
    std::fprintf(stderr, "zantrel-cli: cannot read the folder %s (%s)\n", windowsPath.toUtf8().constData(),
                 where.toUtf8().constData());
}

// The arguments after the program's name, each decoded without loss (see HostNames): a folder
// given in bytes that are not UTF-8 names that folder, not one with U+FFFD in their place, as
// QCoreApplication::arguments() would have it.
QStringList programArguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(HostNames::decode(QByteArray(argv[i])));
    return arguments;
}

// The report lays its text out in fonts and may print: it needs the GUI application, which runs
// without a screen. Every other verb needs the core application only.
std::unique_ptr<QCoreApplication> makeApplication(Verb verb, int& argc, char* argv[])
{
    if (verb != Verb::Report)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

// Ends the run with `status`, unless what went to standard output could not all be written.
int finish(int status)
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "zantrel-cli: cannot write to standard output: %s\n", std::strerror(errno ? errno : EIO));
        return status == 0 ? 1 : status;
    }
    return status;
}

// Writes what the verb asks for after the load; returns the exit status. Every listing goes out
// a record at a time, never whole in memory; memory running out on the way throws std::bad_alloc.
int writeOutput(const CommandLine& line, const Catalogue& catalogue, const LoadContext& load, MemoryControls& controls)
{
    switch (line.verb) {
    case Verb::Report:
        return RunReport(controls, catalogue, line.report, line.output.isEmpty() ? QString() : windowsFolder(line.output));
    case Verb::Export:
        return exportWorkbook(catalogue, load, controls, line);
    case Verb::Missing:
    case Verb::Libraries:
    case Verb::Uses:
    case Verb::Graph:
    case Verb::Drift:
        return RunInventory(line.verb, catalogue, load, line.inventory, StandardOutput);
    case Verb::Tree:
        CatalogueListing::writeTree(controls.tree, StandardOutput);
        return 0;
    case Verb::Catalogue:
        WriteCatalogue(catalogue, load, line.inventory.format, StandardOutput, line.inventory.csvFormulas);
        return 0;
    case Verb::Manifest: {
        ManifestRequest request;
        request.arch = line.arch;
        request.commonControls = line.manifest.commonControls;
        request.projects = line.manifest.projects;
        request.folder = line.output.isEmpty() ? QString() : windowsFolder(line.output);
        return RunManifests(catalogue, load, request, line.manifest.force);
    }
    case Verb::Closure:
        WriteClosure(catalogue, load, line.arch, line.inventory.format, StandardOutput, line.inventory.csvFormulas);
        return 0;
    }
    return 0;
}

}

int main(int argc, char* argv[])
{
    // A reader that goes away makes the next write fail with EPIPE, which finish() reports.
    std::signal(SIGPIPE, SIG_IGN);
    qtMessages = qInstallMessageHandler(dropRuntimeFolderWarning);

    CommandLine line;
    if (const int status = ReadCommandLine(programArguments(argc, argv), line); status >= 0)
        return finish(status);
    const std::unique_ptr<QCoreApplication> app = makeApplication(line.verb, argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(Version::AppTitle));
    InstallQtSpanishTranslation(*app);
    UseWorld(line.world);
    if (const QString problem = WorldError(); !problem.isEmpty()) {
        std::fprintf(stderr, "zantrel-cli: %s\n", problem.toUtf8().constData());
        return 1;
    }
    for (const QString& notice : WorldNotices())
        std::fprintf(stderr, "zantrel-cli: %s\n", notice.toUtf8().constData());
    // A 64-bit program sees system32 itself and takes win64 registrations first, from its
    // project lines on.
    PathMapper::setProgram64Bit(line.arch == LoaderArch::Amd64);
    if (line.arch == LoaderArch::X86)
        warnAboutPrefix(); // its problems are those of a 32-bit program
    chooseCodePage(line.codePage);

    StandardErrorMessageBoxes messages;
    InstallMessageBoxAnswerer(&messages);

    Catalogue catalogue;
    catalogue.ScanPath = line.folder.isEmpty() ? LeerScanPath(SharedIni()) : windowsFolder(line.folder);
    MemoryControls controls;
    LoadContext load;
    load.recordLines = RecordsLines(line.verb);
    load.recordSources = line.verb == Verb::Closure || line.verb == Verb::Manifest || line.inventory.deep;
    if (!LoadForCommandLine(catalogue, controls.main, load, line.inventory.recursive)) {
        nameUnreadableFolder(catalogue.ScanPath);
        return 1;
    }

    try {
        return finish(writeOutput(line, catalogue, load, controls));
    } catch (const std::bad_alloc&) {
        // What was written so far stays written; the message says the output is cut short.
        std::fflush(stdout);
        std::fputs("zantrel-cli: out of memory while writing the output\n", stderr);
        return 1;
    }
}
