#include "cli/CommandLine.h"

#include <cstdio>

const char* const CommandLineUsage =
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
    "Output is UTF-8; a backslash, tab, CR, LF or NUL inside a field is written as \\\\, \\t, \\r, \\n, \\0.\n"
    "Message boxes the load shows go to standard error as \"[icon] text\".\n"
    "\n"
    "Exit status: 0 after a load, 1 when the folder cannot be read (for report: when a named\n"
    "project is missing, or the report cannot be saved or printed; for export: when the workbook\n"
    "cannot be written), 2 on wrong usage.\n";

namespace {

int usageError(const QString& problem)
{
    std::fprintf(stderr, "zantrel-cli: %s\n\n%s", problem.toUtf8().constData(), CommandLineUsage);
    return 2;
}

}

int ReadCommandLine(const QStringList& args, CommandLine& line)
{
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(CommandLineUsage, stdout);
        return 0;
    }
    QStringList positional;
    bool hasOutput = false;
    bool reportOptions = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString problem;
        if (TakeReportOption(args, i, line.report, problem)) {
            if (!problem.isEmpty())
                return usageError(problem);
            reportOptions = true;
            continue;
        }
        if (args[i] != QStringLiteral("-o")) {
            positional.append(args[i]);
            continue;
        }
        if (hasOutput || i + 1 >= args.size() || args[i + 1].isEmpty())
            return usageError(QStringLiteral("-o needs one file or folder"));
        line.output = args[++i];
        hasOutput = true;
    }
    if (positional.isEmpty() || positional.size() > 2)
        return usageError(QStringLiteral("a verb and at most one folder are needed"));
    line.verb = positional[0];
    if (positional.size() == 2)
        line.folder = positional[1];
    const bool reportVerb = line.verb == QStringLiteral("report");
    const bool exportVerb = line.verb == QStringLiteral("export");
    if (line.verb != QStringLiteral("tree") && line.verb != QStringLiteral("catalogue") && !reportVerb && !exportVerb)
        return usageError(QStringLiteral("unknown verb"));
    if (hasOutput && !reportVerb && !exportVerb)
        return usageError(QStringLiteral("-o goes with report and export only"));
    if (reportOptions && !reportVerb)
        return usageError(QStringLiteral("--detailed, --summary, --project and --print go with report only"));
    if (reportVerb && line.report.Tipo == -1)
        return usageError(QStringLiteral("report needs --detailed or --summary"));
    if (reportVerb && !hasOutput && !line.report.print)
        return usageError(QStringLiteral("report needs -o FILE or --print"));
    return -1;
}
