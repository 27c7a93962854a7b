#include "app/common/CIni.h"
#include "app/common/mMain.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FolderScan.h"
#include "cli/CatalogueListing.h"
#include "cli/ReportCommand.h"
#include "output/ExportarExcel.h"
#include "platform/controls/MemoryControls.h"
#include "platform/core/ProgramError.h"
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

const char* const kUsage =
    "Usage: zantrel-cli VERB [FOLDER]\n"
    "       zantrel-cli export [FOLDER] [-o DIR]\n"
    "       zantrel-cli report FOLDER (--detailed | --summary) [--project NAME]... -o FILE [--print]\n"
    "\n"
    "Loads the Visual Basic project files (*.vbp) of FOLDER as the Zantrel window does and prints\n"
    "what it learnt. FOLDER is a Windows path (c:\\tmp\\) seen through the Wine prefix named by\n"
    "$WINEPREFIX (else ~/.wine), or a host path (/home/me/vb). Without FOLDER, the folder of the\n"
    "settings file (ZANTREL.INI in the prefix's Windows folder) is loaded, as the window does;\n"
    "a first run writes the default c:\\tmp\\ there.\n"
    "\n"
    "Verbs:\n"
    "  tree       one line per tree node in tree order: two spaces per depth, key, tab, text,\n"
    "             tab, image index\n"
    "  catalogue  tab-separated values with a header line: one line per dependency entry (a\n"
    "             project without entries gets one line with empty dependency fields): project\n"
    "             index, FileName, Kind, Name, entry index, Kind, FilePath, Guid, Key,\n"
    "             Description, MajorVersion, MinorVersion, SizeKB, FileDate\n"
    "  export     writes every project, as the window's \"Exportar a Excel\" does, to the\n"
    "             workbook proyectos.xls (one sheet, one row per reference or component) and\n"
    "             its log proyectos.log, in DIR (-o DIR, a Windows or host folder), else in the\n"
    "             folder of zantrel-cli itself; prints the workbook's host path\n"
    "  report     builds the dependency report \"Informe de Dependencias\" as the window's\n"
    "             print options do, detailed or summary, of every project, or of the projects\n"
    "             named by --project (a Name, once per project); -o FILE (a Windows or host\n"
    "             path) saves it by the report window's rules: a name without any \".\" gets\n"
    "             \".rtf\" and is rich text, else its last three characters decide (RTF rich\n"
    "             text, anything else plain windows-1252 text); prints the saved file's host\n"
    "             path. --print also prints it on the default printer (at least one of -o and\n"
    "             --print is needed)\n"
    "\n"
    "Output is UTF-8; a backslash, tab, CR or LF inside a field is written as \\\\, \\t, \\r, \\n.\n"
    "Message boxes the load shows go to standard error as \"[icon] text\".\n"
    "\n"
    "Exit status: 0 after a load, 1 when the folder cannot be read (for report: when a named\n"
    "project is missing, or the report cannot be saved or printed; for export: when the workbook\n"
    "cannot be written), 2 on wrong usage.\n";

int usageError(const char* problem)
{
    std::fprintf(stderr, "zantrel-cli: %s\n\n%s", problem, kUsage);
    return 2;
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
    const QStringList args = QCoreApplication::arguments().mid(1);

    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    QStringList positional;
    QString outputFile;
    bool hasOutputFile = false;
    ReportRequest report;
    bool reportOptions = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString problem;
        if (TakeReportOption(args, i, report, problem)) {
            if (!problem.isEmpty())
                return usageError(problem.toUtf8().constData());
            reportOptions = true;
            continue;
        }
        if (args[i] != QStringLiteral("-o")) {
            positional.append(args[i]);
            continue;
        }
        if (hasOutputFile || i + 1 >= args.size() || args[i + 1].isEmpty())
            return usageError("-o needs one file or folder");
        outputFile = args[++i];
        hasOutputFile = true;
    }
    if (positional.isEmpty() || positional.size() > 2)
        return usageError("a verb and at most one folder are needed");
    const QString verb = positional[0];
    const bool reportVerb = verb == QStringLiteral("report");
    const bool exportVerb = verb == QStringLiteral("export");
    if (verb != QStringLiteral("tree") && verb != QStringLiteral("catalogue") && !reportVerb && !exportVerb)
        return usageError("unknown verb");
    if (hasOutputFile && !reportVerb && !exportVerb)
        return usageError("-o goes with report and export only");
    if (reportOptions && !reportVerb)
        return usageError("--detailed, --summary, --project and --print go with report only");
    if (reportVerb && report.Tipo == -1)
        return usageError("report needs --detailed or --summary");
    if (reportVerb && !hasOutputFile && !report.print)
        return usageError("report needs -o FILE or --print");

    StandardErrorMessageBoxes messages;
    InstallMessageBoxAnswerer(&messages);

    Catalogue catalogue;
    catalogue.ScanPath = positional.size() == 2 ? windowsFolder(positional[1]) : LeerScanPath(SharedIni());
    MemoryControls controls;
    try {
        controls.main.Dir1.SetPath(catalogue.ScanPath);
    } catch (const ProgramError& error) {
        ShowMessage(QStringLiteral("Carga : ") + error.Description, MsgStyle::Critical);
        return 1;
    }
    try {
        CargaProyectos(catalogue, controls.main);
    } catch (const ProgramError&) {
        // The load ends where it stood; what it built is still listed.
    }

    if (reportVerb)
        return RunReport(controls, catalogue, report, hasOutputFile ? windowsFolder(outputFile) : QString());
    if (exportVerb) {
        const QString folder = hasOutputFile ? windowsFolder(outputFile)
                                             : PathMapper::current().toWindows(QCoreApplication::applicationDirPath());
        if (!ExportarExcel(catalogue, controls.statusBar, {}, folder))
            return 1;
        writeOut(PathMapper::current().toHost(JoinWindowsPath(folder, ExportFiles::Workbook)).toUtf8() + '\n');
        return 0;
    }
    writeOut(verb == QStringLiteral("tree") ? CatalogueListing::tree(controls.tree)
                                            : CatalogueListing::catalogue(catalogue));
    return 0;
}
