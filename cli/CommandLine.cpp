#include "cli/CommandLine.h"

#include "support/Version.h"

#include <cstdio>

const char* const CommandLineUsage =
    "Usage: zantrel-cli VERB [-r] [FOLDER]\n"
    "       zantrel-cli (catalogue | missing | libraries) [-r] [--format tsv|csv|json] [FOLDER]\n"
    "       zantrel-cli uses QUERY [-r] [--format tsv|csv|json] [FOLDER]\n"
    "       zantrel-cli graph [-r] [FOLDER]\n"
    "       zantrel-cli export [-r] [FOLDER] [-o DIR] [--format xls|xlsx]\n"
    "       zantrel-cli report [-r] FOLDER (--detailed | --summary) [--project NAME]... -o FILE [--print]\n"
    "       zantrel-cli --version | --help\n"
    "\n"
    "Loads the Visual Basic project files (*.vbp) of FOLDER as the Zantrel window does and prints\n"
    "what it learnt. FOLDER is a Windows path (c:\\tmp\\) seen through the Wine prefix named by\n"
    "$WINEPREFIX (else ~/.wine), or a host path (/home/me/vb). Without FOLDER, the folder of the\n"
    "settings file (ZANTREL.INI in the prefix's Windows folder) is loaded, as the window does;\n"
    "a first run writes the default c:\\tmp\\ there.\n"
    "\n"
    "Options:\n"
    "  -r, --recursive  load the projects of every folder below FOLDER too, as one load (keys\n"
    "             and counters go on from folder to folder): each folder's files in the window's\n"
    "             order, then its folders sorted ignoring case, depth first. Hidden folders (a\n"
    "             name starting with \".\") are left out; a link to a folder is followed the\n"
    "             first time that folder is met only, so link loops end\n"
    "  --format F   tsv (the default), csv or json, for catalogue, missing, libraries and uses.\n"
    "             tsv: a header line, tab-separated fields, LF line ends; a backslash, tab, CR or\n"
    "             LF inside a field is written as \\\\, \\t, \\r, \\n. csv: RFC 4180, a header line,\n"
    "             fields with a comma, quote, CR, LF or an edge space quoted with quotes doubled,\n"
    "             CR LF line ends. json: one UTF-8 document, an array of objects keyed by the\n"
    "             column names, numbers as numbers. In tsv and csv a list is joined by \"|\".\n"
    "\n"
    "Verbs:\n"
    "  tree       one line per tree node in tree order: two spaces per depth, key, tab, text,\n"
    "             tab, image index\n"
    "  catalogue  one record per dependency entry (a project without entries gets one with\n"
    "             empty dependency fields), columns: ProjectIndex, FileName, Kind, Name,\n"
    "             DependencyIndex, DependencyKind, FilePath, Guid, Key, Description, MajorVersion,\n"
    "             MinorVersion, SizeKB, FileDate, ProjectPath (the project file's full Windows\n"
    "             path). Kinds: project 0 unknown, 1 Exe, 2 OleDll, 3 Control, 4 OleExe;\n"
    "             dependency 1 reference, 2 component. json: an array of projects\n"
    "             {\"index\", \"path\", \"fileName\", \"kind\", \"name\", \"entries\": [{\"index\",\n"
    "             \"kind\", \"filePath\", \"guid\", \"key\", \"description\", \"majorVersion\",\n"
    "             \"minorVersion\", \"sizeKB\", \"fileDate\"}]}\n"
    "  missing    one record per Reference= or Object= line that gave no entry: project (full\n"
    "             Windows path), line (1-based), kind (reference, component, or project for a\n"
    "             Reference=*\\A line naming another project file), guid, version, locale, path\n"
    "             and name as written, and reason, the first step that failed:\n"
    "               not registered          no registration of the GUID (and no path written)\n"
    "               version not registered  the GUID is registered, but no version the rules\n"
    "                                       accept (same major, minor at least the one asked)\n"
    "               registered for 64-bit Windows only\n"
    "                                       the version is registered for locale 0 under win64\n"
    "                                       only, with no win32 file for a 32-bit program\n"
    "               locale not registered   the version is registered, not for locale 0\n"
    "               registered file missing the registration names a file that does not exist\n"
    "               only in the 64-bit system folder\n"
    "                                       the file is not in the 32-bit system folder\n"
    "                                       (syswow64), but is in the 64-bit one (system32)\n"
    "               not a type library      the file exists but holds no readable library\n"
    "               written path missing    no registration and nothing at the written path\n"
    "               unreadable line         the line's fields cannot be taken apart\n"
    "               project file missing    the project file a Reference=*\\A or Object=*\\A\n"
    "                                       line names does not exist\n"
    "             A project reference whose file exists is not missing. Exit status 3 when\n"
    "             something is missing, 0 when nothing is\n"
    "  libraries  one record per distinct library the projects use (same GUID, versions and\n"
    "             file), most used first: guid, majorVersion, minorVersion, filePath,\n"
    "             description, sizeKB, fileDate, kind (1 reference, 2 component), projects (the\n"
    "             full paths of the projects that use it; a json array)\n"
    "  uses       the entries that name the library QUERY, a GUID (braces optional, any case) or\n"
    "             a file name compared ignoring case with the last part of FilePath\n"
    "             (mscomctl.ocx): project, index, kind, filePath, guid, key, description,\n"
    "             majorVersion, minorVersion, sizeKB, fileDate. Exit status 3 when no project\n"
    "             uses it, 0 when one does\n"
    "  graph      the dependency graph in Graphviz's DOT language: projects (boxes), the\n"
    "             libraries they use (ellipses; components as component shapes), the projects\n"
    "             they reference (bold edges; a file not loaded as a dashed box) and what is\n"
    "             missing (red octagons in a box of their own). Render it with\n"
    "             zantrel-cli graph c:\\src | dot -Tpng -o graph.png\n"
    "  export     writes every project, as the window's \"Exportar a Excel\" does, to the\n"
    "             workbook proyectos.xls (one sheet, one row per reference or component) and\n"
    "             its log proyectos.log, in DIR (-o DIR, a Windows or host folder), else in the\n"
    "             folder of zantrel-cli itself where it can be written, else in the user's\n"
    "             documents folder (xdg-user-dir DOCUMENTS, else the home folder); prints the\n"
    "             workbook's host path. --format xlsx writes the same sheet as the Office Open\n"
    "             XML workbook proyectos.xlsx instead (no log, no 32,767-row limit; sizes and\n"
    "             versions are numbers, dates are dates)\n"
    "  report     builds the dependency report \"Informe de Dependencias\" as the window's\n"
    "             print options do, detailed or summary, of every project, or of the projects\n"
    "             named by --project: a Name (every project of that Name) or a project's file\n"
    "             name as the tree shows it (Facturas.vbp, ignoring case); each project is\n"
    "             written once, in tree order; -o FILE (a Windows or host\n"
    "             path) saves it by the report window's rules: a name without any \".\" gets\n"
    "             \".rtf\" and is rich text, else its last three characters decide (RTF rich\n"
    "             text, anything else plain windows-1252 text); prints the saved file's host\n"
    "             path. --print also prints it on the default printer (at least one of -o and\n"
    "             --print is needed)\n"
    "\n"
    "Output is UTF-8; text that is no valid Unicode is written as U+FFFD.\n"
    "Message boxes the load shows go to standard error as \"[icon] text\". When no Wine prefix\n"
    "exists, a warning says so: no reference can be resolved, and the load still runs.\n"
    "--version prints the version; --help prints this text.\n"
    "\n"
    "Examples:\n"
    "  zantrel-cli missing -r c:\\src || echo \"something is missing\"\n"
    "  zantrel-cli libraries -r --format csv c:\\src > setup.csv\n"
    "  zantrel-cli uses mscomctl.ocx -r --format json /home/me/vb\n"
    "\n"
    "Exit status: 0 after a load, 1 when the folder cannot be read (for report: when a named\n"
    "project is missing, or the report cannot be saved or printed; for export: when the workbook\n"
    "cannot be written; 1 also when standard output cannot be written), 2 on wrong usage, 3 when\n"
    "missing finds something missing or uses finds no project using the library.\n";

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
    if (args.contains(QStringLiteral("--version"))) {
        std::printf("%s\n", Version::Line().c_str());
        return 0;
    }
    QStringList positional;
    QString format;
    bool hasFormat = false;
    bool hasOutput = false;
    bool reportOptions = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString problem;
        if (TakeInventoryOption(args[i], line.inventory))
            continue;
        if (TakeReportOption(args, i, line.report, problem)) {
            if (!problem.isEmpty())
                return usageError(problem);
            reportOptions = true;
            continue;
        }
        if (args[i] == QStringLiteral("--format")) {
            // Its values depend on the verb, which may come later.
            if (hasFormat || i + 1 >= args.size())
                return usageError(QStringLiteral("--format needs one value, once"));
            format = args[++i];
            hasFormat = true;
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
    // uses takes its QUERY before the folder.
    if (!positional.isEmpty() && positional[0] == QStringLiteral("uses")) {
        if (positional.size() < 2 || positional[1].isEmpty())
            return usageError(QStringLiteral("uses needs a GUID or a file name"));
        line.inventory.query = positional.takeAt(1);
    }
    if (positional.isEmpty() || positional.size() > 2)
        return usageError(QStringLiteral("a verb and at most one folder are needed"));
    line.verb = positional[0];
    if (positional.size() == 2)
        line.folder = positional[1];
    const bool reportVerb = line.verb == QStringLiteral("report");
    const bool exportVerb = line.verb == QStringLiteral("export");
    if (line.verb != QStringLiteral("tree") && line.verb != QStringLiteral("catalogue") && !reportVerb && !exportVerb
        && !IsInventoryVerb(line.verb))
        return usageError(QStringLiteral("unknown verb"));
    if (hasFormat && exportVerb) {
        if (format != QStringLiteral("xls") && format != QStringLiteral("xlsx"))
            return usageError(QStringLiteral("export's --format needs xls or xlsx"));
        line.format = format;
    } else if (hasFormat && IsFormatVerb(line.verb)) {
        if (!ParseOutputFormat(format, line.inventory.format))
            return usageError(QStringLiteral("--format needs one of tsv, csv and json"));
        line.inventory.formatGiven = true;
    } else if (hasFormat) {
        return usageError(QStringLiteral("--format goes with catalogue, missing, libraries, uses and export only"));
    }
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
