#include "cli/CommandLine.h"

#include "output/ReportBuilder.h"
#include "platform/core/AnsiCodePage.h"
#include "platform/registry/SystemCodePage.h"
#include "platform/registry/WindowsWorld.h"
#include "support/Version.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <cstdio>
#include <initializer_list>
#include <optional>

namespace {

// --help's text is made of the same pieces as each verb's own help, so the two never disagree.

const char* const UsageSynopsis =
    "Usage: zantrel-cli VERB [-r] [--codepage N] [--windows DIR [--drive D=DIR]... [--windows-user NAME]] [FOLDER]\n"
    "       zantrel-cli (catalogue | missing | libraries | drift) [-r] [--format tsv|csv|json] [--csv-raw] [FOLDER]\n"
    "       zantrel-cli (missing | libraries) --deep [--arch x86|amd64] [-r] [--format tsv|csv|json] [FOLDER]\n"
    "       zantrel-cli uses QUERY [-r] [--format tsv|csv|json] [--csv-raw] [FOLDER]\n"
    "       zantrel-cli graph [-r] [--deep [--arch x86|amd64]] [FOLDER]\n"
    "       zantrel-cli closure [-r] [--format tsv|csv|json] [--csv-raw] [--arch x86|amd64] [FOLDER]\n"
    "       zantrel-cli manifest [-r] [FOLDER] [-o DIR] [--project NAME]... [--arch x86|amd64] [--common-controls] [--force]\n"
    "       zantrel-cli export [-r] [FOLDER] [-o DIR] [--format xls|xlsx]\n"
    "       zantrel-cli report [-r] FOLDER (--detailed | --summary) [--project NAME]... -o FILE [--print]\n"
    "       zantrel-cli VERB --help\n"
    "       zantrel-cli --version | --help\n"
    "\n"
    "Loads the Visual Basic project files (*.vbp) of FOLDER as the Zantrel window does and prints\n"
    "what it learnt. FOLDER is a Windows path (c:\\tmp\\) seen through the Wine prefix named by\n"
    "$WINEPREFIX (else ~/.wine), or a host path (/home/me/vb). Without FOLDER, the folder of the\n"
    "settings file (ZANTREL.INI in the prefix's Windows folder) is loaded, as the window does;\n"
    "a first run writes the default c:\\tmp\\ there.\n";

const char* const FolderNote =
    "FOLDER is a Windows path (c:\\tmp\\) seen through the Wine prefix named by $WINEPREFIX (else\n"
    "~/.wine), or a host path (/home/me/vb); without it, the settings file's folder is loaded.\n";

const char* const RecursiveOption =
    "  -r, --recursive  load the projects of every folder below FOLDER too, as one load (keys\n"
    "             and counters go on from folder to folder): each folder's files in the window's\n"
    "             order, then its folders sorted ignoring case, depth first. Hidden folders (a\n"
    "             name starting with \".\") are left out; a link to a folder is followed the\n"
    "             first time that folder is met only, so link loops end\n";

const char* const FormatOption =
    "  --format F   tsv (the default), csv or json, for catalogue, missing, libraries, uses and\n"
    "             drift. tsv: a header line, tab-separated fields, LF line ends; a backslash, tab,\n"
    "             CR, LF or NUL inside a field is written as \\\\, \\t, \\r, \\n, \\0, any other\n"
    "             control character as \\xNN. csv: RFC 4180, a header line, fields with a comma,\n"
    "             quote, control character or an edge space quoted with quotes doubled, control\n"
    "             characters written \\xNN, CR LF line ends; a field starting with =, +, -, @, a\n"
    "             tab or a CR (not a plain number) gets a leading ' so spreadsheets take it as\n"
    "             text. json: one UTF-8 document, an array of objects keyed by the column names,\n"
    "             numbers as numbers. In tsv and csv a list is joined by \"|\", a \"|\" inside an\n"
    "             item written \"\\|\". Records are written one at a time as they are made.\n"
    "  --csv-raw    with --format csv: no leading ' before a field a spreadsheet would read as\n"
    "             a formula (control characters are still escaped)\n";

const char* const CodePageOption =
    "  --codepage N  reads and writes ANSI text (project and settings files, text reports) in\n"
    "             Windows code page N for this run: 1250 to 1258, 874, 932, 936, 949, 950 or\n"
    "             65001. Without it, $ZANTREL_CODEPAGE, else the page the prefix's registry\n"
    "             names (ACP under HKLM\\System\\CurrentControlSet\\Control\\Nls\\CodePage),\n"
    "             else 1252. A page other than 1252 is said once on standard error\n";

const char* const WorldOptionsText =
    "  --windows DIR  reads a Windows system's disk instead of a Wine prefix (also\n"
    "             $ZANTREL_WINDOWS=DIR; either wins over $WINEPREFIX): DIR is drive C:, a mounted\n"
    "             partition (ntfs-3g -o ro), an image mounted with guestmount --ro, or a copy of\n"
    "             its Windows folder and program folders. Its registry is read from\n"
    "             Windows\\System32\\config\\SOFTWARE and SYSTEM and the user's NTUSER.DAT and\n"
    "             UsrClass.dat. Nothing under DIR is ever written: the settings file is then\n"
    "             $XDG_CONFIG_HOME/zantrel/ZANTREL.INI, outputs go to the documents folder\n"
    "  --drive D=DIR  with --windows: drive D: is the host folder DIR (once per drive)\n"
    "  --windows-user NAME  with --windows: the profile read as HKEY_CURRENT_USER (else the\n"
    "             only one, else the one used last, said on standard error)\n";

const char* const ExportOptions =
    "  -o DIR       the folder to write into, a Windows or host path\n"
    "  --format F   xls (the default) or xlsx\n";

const char* const ReportOptions =
    "  --detailed, --summary  the kind of report; one of them is needed\n"
    "  --project NAME  only the projects of that Name or file name; once per project\n"
    "  -o FILE      saves the report there, a Windows or host path\n"
    "  --print      prints it on the default printer (at least one of -o and --print is needed)\n";

const char* const ManifestOptions =
    "  -o DIR       the folder to write every manifest into, a Windows or host path (else each\n"
    "             program's own folder, Path32=)\n"
    "  --project NAME  only the projects of that Name or file name; once per project\n"
    "  --common-controls  makes each program depend on version 6 of the common controls\n"
    "             (Windows' visual styles)\n"
    "  --force      replaces a file of the manifest's name that this program did not write\n";

const char* const DeepOptionText =
    "  --deep       adds what the programs need beyond their project lines: the closure (see\n"
    "             closure)\n";

const char* const ArchOptionText =
    "  --arch A     x86 (the default: a Visual Basic program, 32-bit, seeing the 32-bit system\n"
    "             folder and expecting 32-bit images) or amd64 (a 64-bit program)\n";

const char* const HelpOption = "  -h, --help   prints this text\n";

const char* const UsageTrailer =
    "\n"
    "Output is UTF-8; text that is no valid Unicode is written as U+FFFD.\n"
    "Message boxes the load shows go to standard error as \"[icon] text\". When no Wine prefix\n"
    "exists, a warning says so: no reference can be resolved, and the load still runs.\n"
    "An option's value follows it (--format json) or is joined to it by \"=\" (--format=json);\n"
    "options may come before or after the verb, and \"--\" ends them, so a FOLDER may start\n"
    "with \"-\". A mistake in the arguments prints one line naming the wrong word on standard\n"
    "error. --version prints the version; --help prints this text; VERB --help prints that\n"
    "verb's own help.\n"
    "\n"
    "Examples:\n"
    "  zantrel-cli missing -r c:\\src || echo \"something is missing\"\n"
    "  zantrel-cli libraries -r --format csv c:\\src > setup.csv\n"
    "  zantrel-cli uses mscomctl.ocx -r --format json /home/me/vb\n"
    "\n"
    "Exit status: 0 after a load, 1 when the folder cannot be read (for report: when a named\n"
    "project is missing, or the report cannot be saved or printed; for export: when the workbook\n"
    "cannot be written; 1 also when standard output cannot be written), 2 on wrong usage, 3 when\n"
    "missing finds something missing, uses finds no project using the library, or drift finds a\n"
    "library named at more than one version or file name.\n";

// Which of the options a verb takes, besides -r and --help.
enum VerbOptions : unsigned {
    NoOptions = 0,
    TableFormat = 1,   // --format tsv|csv|json
    WorkbookFormat = 2, // --format xls|xlsx
    OutputOption = 4,  // -o
    ReportOnly = 8,    // --detailed, --summary, --project, --print
    ArchOption = 16,   // --arch x86|amd64
    DeepOption = 32,   // --deep (with --arch)
    ManifestOnly = 64, // --project, --common-controls, --force
};

// A verb's options and its own help.
struct VerbHelp {
    Verb verb;
    unsigned options;
    const char* synopsis;  // after "Usage: "
    const char* text;      // what it writes, as --help's Verbs list shows it
    const char* exitStatus;
};

const char* const LoadExitStatus =
    "Exit status: 0 after a load, 1 when the folder cannot be read or standard output cannot be\n"
    "written, 2 on wrong usage.\n";

const VerbHelp Verbs[] = {
    {Verb::Tree, NoOptions, "zantrel-cli tree [-r] [FOLDER]",
     "  tree       one line per tree node in tree order: two spaces per depth, key, tab, text,\n"
     "             tab, image index\n",
     LoadExitStatus},
    {Verb::Catalogue, TableFormat, "zantrel-cli catalogue [-r] [--format tsv|csv|json] [FOLDER]",
     "  catalogue  one record per dependency entry (a project without entries gets one with\n"
     "             empty dependency fields), columns: ProjectIndex, FileName, Kind, Name,\n"
     "             DependencyIndex, DependencyKind, FilePath, Guid, Key, Description, MajorVersion,\n"
     "             MinorVersion, SizeKB, FileDate, ProjectPath (the project file's full Windows\n"
     "             path). Kinds: project 0 unknown, 1 Exe, 2 OleDll, 3 Control, 4 OleExe;\n"
     "             dependency 1 reference, 2 component. json: an array of projects\n"
     "             {\"index\", \"path\", \"fileName\", \"kind\", \"name\", \"entries\": [{\"index\",\n"
     "             \"kind\", \"filePath\", \"guid\", \"key\", \"description\", \"majorVersion\",\n"
     "             \"minorVersion\", \"sizeKB\", \"fileDate\"}]}\n",
     LoadExitStatus},
    {Verb::Missing, TableFormat | DeepOption, "zantrel-cli missing [-r] [--deep [--arch x86|amd64]] [--format tsv|csv|json] [FOLDER]",
     "  missing    one record per Reference= or Object= line that gave no entry: project (full\n"
     "             Windows path), line (1-based), kind (reference, component, or project for a\n"
     "             Reference=*\\A or Object=*\\A line naming another project file), guid,\n"
     "             version, locale, path and name as written, and reason, the first step that\n"
     "             failed:\n"
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
     "             A project reference whose file exists is not missing. With --deep, a via\n"
     "             column (the chain from the project, see closure) is added and every file of\n"
     "             the closure that is not found or cannot be used follows: line 0, kind its\n"
     "             how (a \"delay import\" the program may run without), path the file as\n"
     "             named, and its reason. Exit status 3 when something is missing, 0 when\n"
     "             nothing is\n",
     "Exit status: 0 when nothing is missing, 3 when something is, 1 when the folder cannot be\n"
     "read or standard output cannot be written, 2 on wrong usage.\n"},
    {Verb::Libraries, TableFormat | DeepOption, "zantrel-cli libraries [-r] [--deep [--arch x86|amd64]] [--format tsv|csv|json] [FOLDER]",
     "  libraries  one record per distinct library the projects use (same GUID, versions and\n"
     "             file), most used first: guid, majorVersion, minorVersion, filePath,\n"
     "             description, sizeKB, fileDate, kind (1 reference, 2 component), projects (the\n"
     "             full paths of the projects that use it; a json array). With --deep, the\n"
     "             files a setup ships instead: every file of the closure found and not the\n"
     "             system's, in the order first met: filePath, how (each way a project needs\n"
     "             it), projects\n",
     LoadExitStatus},
    {Verb::Uses, TableFormat, "zantrel-cli uses QUERY [-r] [--format tsv|csv|json] [FOLDER]",
     "  uses       the entries that name the library QUERY, a GUID (braces optional, any case) or\n"
     "             a file name compared ignoring case with the last part of FilePath\n"
     "             (mscomctl.ocx): project, index, kind, filePath, guid, key, description,\n"
     "             majorVersion, minorVersion, sizeKB, fileDate. Exit status 3 when no project\n"
     "             uses it, 0 when one does\n",
     "Exit status: 0 when a project uses the library, 3 when none does, 1 when the folder cannot\n"
     "be read or standard output cannot be written, 2 on wrong usage.\n"},
    {Verb::Graph, DeepOption, "zantrel-cli graph [-r] [--deep [--arch x86|amd64]] [FOLDER]",
     "  graph      the dependency graph in Graphviz's DOT language: projects (boxes), the\n"
     "             libraries they use (ellipses; components as component shapes), the projects\n"
     "             they reference (bold edges; a file not loaded as a dashed box) and what is\n"
     "             missing (red octagons in a box of their own). With --deep, the files the\n"
     "             closure adds that a setup ships (notes) by thin edges from what needs them,\n"
     "             and those that cannot be had among the missing. Render it with\n"
     "             zantrel-cli graph c:\\src | dot -Tpng -o graph.png\n",
     LoadExitStatus},
    {Verb::Drift, TableFormat, "zantrel-cli drift [-r] [--format tsv|csv|json] [FOLDER]",
     "  drift      the libraries the projects name at more than one version or under more than\n"
     "             one file name, with the projects on each side: one record per side (a version\n"
     "             and file name a GUID is written with), grouped by GUID in the order first met:\n"
     "             guid, kind, version, file, projects (the full paths of the projects on that\n"
     "             side; a json array). Exit status 3 when something disagrees, 0 when nothing\n"
     "             does\n",
     "Exit status: 0 when every library is named at one version and file name, 3 when one is\n"
     "not, 1 when the folder cannot be read or standard output cannot be written, 2 on wrong\n"
     "usage.\n"},
    {Verb::Closure, TableFormat | ArchOption, "zantrel-cli closure [-r] [--format tsv|csv|json] [--arch x86|amd64] [FOLDER]",
     "  closure    every file each project needs to run, one record each, breadth first from\n"
     "             the project's lines: project (full Windows path), file (as named), found (the\n"
     "             Windows path it resolves to; empty when not found), how (reference,\n"
     "             component, program: the compiled program ExeName32= in Path32=, import and\n"
     "             delay import: what a found image imports, in turn), via (the chain from the\n"
     "             project file to the file, \" > \" between), system (true for an API set, a\n"
     "             KnownDLLs name or Wine's own built-in: a setup never ships those; their own\n"
     "             imports are not followed) and reason when it cannot be used: not found in the\n"
     "             search path, 64-bit image (32-bit image with --arch amd64), not a program\n"
     "             image, not built yet (the program's file is not there). A library's imports\n"
     "             are looked for as COM loads it: its own folder, the system folder, the 16-bit\n"
     "             system folder, the Windows folder, the program's folder, PATH; the program's\n"
     "             own imports from its folder first. Each file is followed once per project\n",
     LoadExitStatus},
    {Verb::Manifest, OutputOption | ArchOption | ManifestOnly,
     "zantrel-cli manifest [-r] [FOLDER] [-o DIR] [--project NAME]... [--arch x86|amd64] [--common-controls] [--force]",
     "  manifest   writes, for each program project (Type=Exe or OleExe), the application\n"
     "             manifest that lets its compiled program (ExeName32=) use its controls and\n"
     "             ActiveX DLLs without registering them: <ExeName32>.manifest in the\n"
     "             program's folder (Path32=) or DIR, naming each in-process library the\n"
     "             program needs that a setup ships (its components and the ActiveX DLLs its\n"
     "             references name, not the system's), with its type library and creatable\n"
     "             classes (their program ids, threading model and OLEMISC status from the\n"
     "             registry). Ship the program, its libraries and the manifest in one folder:\n"
     "             nothing is registered. Prints each manifest's host path. Left out, each\n"
     "             named on standard error with the reason: an out-of-process server\n"
     "             (ActiveX EXE), a library the load could not find, a licensed control (the\n"
     "             manifest cannot carry its license), a 64-bit image for a 32-bit program, a\n"
     "             class a library before it serves already\n",
     "Exit status: 0 after every manifest is written with everything in it, 3 when something was\n"
     "left out, 1 when the folder cannot be read, a named project is missing or a manifest cannot\n"
     "be written, 2 on wrong usage.\n"},
    {Verb::Export, WorkbookFormat | OutputOption, "zantrel-cli export [-r] [FOLDER] [-o DIR] [--format xls|xlsx]",
     "  export     writes every project, as the window's \"Exportar a Excel\" does, to the\n"
     "             workbook proyectos.xls (one sheet, one row per reference or component) and\n"
     "             its log proyectos.log, in DIR (-o DIR, a Windows or host folder), else in the\n"
     "             folder of zantrel-cli itself where it can be written, else in the user's\n"
     "             documents folder (xdg-user-dir DOCUMENTS, else the home folder); prints the\n"
     "             workbook's host path. --format xlsx writes the same sheet as the Office Open\n"
     "             XML workbook proyectos.xlsx instead (no log, no 32,767-row limit; sizes and\n"
     "             versions are numbers, dates are dates)\n",
     "Exit status: 0 after the workbook is written, 1 when the folder cannot be read, the workbook\n"
     "cannot be written or standard output cannot be written, 2 on wrong usage.\n"},
    {Verb::Report, OutputOption | ReportOnly,
     "zantrel-cli report [-r] FOLDER (--detailed | --summary) [--project NAME]... -o FILE [--print]",
     "  report     builds the dependency report \"Informe de Dependencias\" as the window's\n"
     "             print options do, detailed or summary, of every project, or of the projects\n"
     "             named by --project: a Name (every project of that Name) or a project's file\n"
     "             name as the tree shows it (Facturas.vbp, ignoring case); each project is\n"
     "             written once, in tree order; -o FILE (a Windows or host\n"
     "             path) saves it by the report window's rules: a name whose last part (after\n"
     "             the last \\ or /) has no \".\" gets \".rtf\" and is rich text, else its\n"
     "             last three characters decide (RTF rich\n"
     "             text, anything else plain windows-1252 text); prints the saved file's host\n"
     "             path. --print also prints it on the default printer (at least one of -o and\n"
     "             --print is needed)\n",
     "Exit status: 0 after the report is saved or printed, 1 when the folder cannot be read, a\n"
     "named project is missing, or the report cannot be saved or printed, 2 on wrong usage.\n"},
};

const VerbHelp& helpOf(Verb verb)
{
    for (const VerbHelp& help : Verbs) {
        if (help.verb == verb)
            return help;
    }
    Q_UNREACHABLE();
}

// A mistake: one line naming the wrong word, then where the help is (the verb's, once the verb
// is known).
int usageError(QByteArray& err, std::optional<Verb> verb, const QString& problem)
{
    err = "zantrel-cli: " + problem.toUtf8() + '\n';
    err += verb ? "Try 'zantrel-cli " + VerbName(*verb).toUtf8() + " --help'\n" : QByteArray("Try 'zantrel-cli --help'\n");
    return 2;
}

// A word of the arguments in quotes, for a message: a control character in it is written as an
// escape, so the message stays one line and cannot steer the terminal.
QString quoted(const QString& word)
{
    QString text(1, u'\'');
    for (const QChar c : word) {
        if (c == u'\n')
            text += QStringLiteral("\\n");
        else if (c == u'\t')
            text += QStringLiteral("\\t");
        else if (c == u'\r')
            text += QStringLiteral("\\r");
        else if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f))
            text += QStringLiteral("\\x") + QString::number(c.unicode(), 16).rightJustified(2, u'0').toUpper();
        else
            text += c;
    }
    return text + u'\'';
}

// The option name a word gives, read as the parser reads it: without its one or two leading
// dashes and anything from "=" on.
QString optionName(const QString& word)
{
    return word.mid(word.startsWith(QStringLiteral("--")) ? 2 : 1).section(u'=', 0, 0);
}

// The option words of `args` as the parser meets them: up to "--", each with the index of its
// word, skipping the words that are values of the option before them. `visit` returns true to
// stop; the index of the word it stopped at is returned, else -1.
template <typename Visit>
qsizetype walkOptions(const QStringList& args, const QList<QCommandLineOption>& options, Visit visit)
{
    auto takesValue = [&](const QString& name) {
        for (const QCommandLineOption& option : options) {
            if (option.names().contains(name))
                return !option.valueName().isEmpty();
        }
        return false;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& word = args[i];
        if (word == QStringLiteral("--"))
            break;
        if (word.size() < 2 || !word.startsWith(u'-'))
            continue;
        const QString name = optionName(word);
        const bool withValue = takesValue(name);
        if (visit(i, name, withValue))
            return i;
        if (withValue && !word.contains(u'='))
            ++i;
    }
    return -1;
}

// The word that names option `name`, as it was written (without a value joined by "=").
QString writtenOption(const QStringList& args, const QList<QCommandLineOption>& options, const QString& name)
{
    const qsizetype at = walkOptions(args, options, [&](qsizetype, const QString& found, bool) { return found == name; });
    if (at >= 0)
        return args[at].section(u'=', 0, 0);
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// Why the parser refused arguments that hold no unknown option: an option without values written
// with "=", or the value option left without its value (it can only be the last word).
QString valueProblem(const QStringList& args, const QList<QCommandLineOption>& options)
{
    const qsizetype at = walkOptions(args, options, [&](qsizetype i, const QString&, bool withValue) {
        return withValue ? !args[i].contains(u'=') && i + 1 == args.size() : args[i].contains(u'=');
    });
    if (at < 0)
        return QStringLiteral("cannot read the arguments");
    const QString& word = args[at];
    if (!word.contains(u'='))
        return word + QStringLiteral(" needs a value");
    return word.section(u'=', 0, 0) + QStringLiteral(" takes no value, not ") + quoted(word.mid(word.indexOf(u'=') + 1));
}

QByteArray verbHelp(const VerbHelp& verb)
{
    QByteArray text = "Usage: " + QByteArray(verb.synopsis) + "\n\n" + verb.text + '\n' + FolderNote + "\nOptions:\n"
                      + RecursiveOption;
    if (verb.options & TableFormat)
        text += FormatOption;
    if (verb.options & WorkbookFormat)
        text += ExportOptions;
    if (verb.options & ReportOnly)
        text += ReportOptions;
    if (verb.options & ManifestOnly)
        text += ManifestOptions;
    if (verb.options & DeepOption)
        text += DeepOptionText;
    if (verb.options & (ArchOption | DeepOption))
        text += ArchOptionText;
    text += CodePageOption;
    text += WorldOptionsText;
    text += HelpOption;
    return text + '\n' + verb.exitStatus;
}

}

QByteArray CommandLineUsage()
{
    QByteArray text = QByteArray(UsageSynopsis) + "\nOptions:\n" + RecursiveOption + FormatOption + CodePageOption + WorldOptionsText + "\nVerbs:\n";
    for (const VerbHelp& verb : Verbs)
        text += verb.text;
    return text + UsageTrailer;
}

QByteArray VerbUsage(const QString& verb)
{
    const std::optional<Verb> found = ParseVerb(verb);
    return found ? verbHelp(helpOf(*found)) : QByteArray();
}

QStringList CommandLineVerbs()
{
    QStringList names;
    for (const VerbHelp& verb : Verbs)
        names.append(VerbName(verb.verb));
    return names;
}

int ReadCommandLine(const QStringList& args, CommandLine& line, QByteArray& out, QByteArray& err)
{
    const QCommandLineOption recursive(QStringList{QStringLiteral("r"), QStringLiteral("recursive")});
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("F"));
    const QCommandLineOption csvRaw(QStringLiteral("csv-raw"));
    const QCommandLineOption output(QStringLiteral("o"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption detailed(QStringLiteral("detailed"));
    const QCommandLineOption summary(QStringLiteral("summary"));
    const QCommandLineOption project(QStringLiteral("project"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption print(QStringLiteral("print"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption codePage(QStringLiteral("codepage"), QString(), QStringLiteral("N"));
    const QCommandLineOption arch(QStringLiteral("arch"), QString(), QStringLiteral("A"));
    const QCommandLineOption deep(QStringLiteral("deep"));
    const QCommandLineOption windows(QStringLiteral("windows"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption drive(QStringLiteral("drive"), QString(), QStringLiteral("D=DIR"));
    const QCommandLineOption windowsUser(QStringLiteral("windows-user"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption commonControls(QStringLiteral("common-controls"));
    const QCommandLineOption force(QStringLiteral("force"));
    const QList<QCommandLineOption> options{recursive, format, csvRaw, output, detailed, summary, project, print, help, version,
                                            codePage, arch, deep, windows, drive, windowsUser, commonControls, force};

    QCommandLineParser parser;
    // One word, one option: "-rx" is an unknown option, not -r and -x, so a mistake is named as
    // it was written.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(options);
    const bool parsed = parser.parse(QStringList{QStringLiteral("zantrel-cli")} + args);

    QStringList positional = parser.positionalArguments();
    const std::optional<Verb> verb = positional.isEmpty() ? std::nullopt : ParseVerb(positional[0]);

    // Help and the version are given whatever else is wrong: they are what was asked for.
    if (parser.isSet(help)) {
        if (!positional.isEmpty() && !verb)
            return usageError(err, std::nullopt, QStringLiteral("unknown verb ") + quoted(positional[0]));
        out = verb ? verbHelp(helpOf(*verb)) : CommandLineUsage();
        return 0;
    }
    if (parser.isSet(version)) {
        out = QByteArray::fromStdString(Version::Line()) + '\n';
        return 0;
    }
    if (!parsed) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return usageError(err, verb, QStringLiteral("unknown option ") + quoted(writtenOption(args, options, unknown.first())));
        return usageError(err, verb, valueProblem(args, options));
    }

    if (positional.isEmpty())
        return usageError(err, std::nullopt, QStringLiteral("a verb is needed: ") + CommandLineVerbs().join(QStringLiteral(", ")));
    if (!verb)
        return usageError(err, std::nullopt, QStringLiteral("unknown verb ") + quoted(positional[0]));
    positional.removeFirst();
    line.verb = *verb;
    const unsigned verbOptions = helpOf(*verb).options;

    // Options given once at most: their names as written.
    for (const QCommandLineOption* once : {&format, &output, &codePage, &arch, &windows, &windowsUser}) {
        const QStringList values = parser.values(*once);
        if (values.size() > 1)
            return usageError(err, verb, writtenOption(args, options, once->names().first()) + QStringLiteral(" is given twice: ")
                                             + quoted(values[0]) + QStringLiteral(" and ") + quoted(values[1]));
    }
    // Options that go with other verbs.
    auto notForVerb = [&](const QCommandLineOption& option) {
        return usageError(err, verb, writtenOption(args, options, option.names().first()) + QStringLiteral(" does not go with ")
                                         + VerbName(line.verb));
    };
    if (parser.isSet(format) && !(verbOptions & (TableFormat | WorkbookFormat)))
        return notForVerb(format);
    if (parser.isSet(csvRaw) && !(verbOptions & TableFormat))
        return notForVerb(csvRaw);
    if (parser.isSet(output) && !(verbOptions & OutputOption))
        return notForVerb(output);
    if (parser.isSet(deep) && !(verbOptions & DeepOption))
        return notForVerb(deep);
    if (parser.isSet(arch) && !(verbOptions & ArchOption)) {
        if (!(verbOptions & DeepOption))
            return notForVerb(arch);
        if (!parser.isSet(deep))
            return usageError(err, verb, QStringLiteral("--arch goes with --deep"));
    }
    if (!(verbOptions & ReportOnly)) {
        for (const QCommandLineOption* reportOption : {&detailed, &summary, &print}) {
            if (parser.isSet(*reportOption))
                return notForVerb(*reportOption);
        }
    }
    if (!(verbOptions & (ReportOnly | ManifestOnly)) && parser.isSet(project))
        return notForVerb(project);
    if (!(verbOptions & ManifestOnly)) {
        for (const QCommandLineOption* manifestOption : {&commonControls, &force}) {
            if (parser.isSet(*manifestOption))
                return notForVerb(*manifestOption);
        }
    }
    line.manifest.commonControls = parser.isSet(commonControls);
    line.manifest.force = parser.isSet(force);
    line.manifest.projects = parser.values(project);

    // uses takes its QUERY before the folder.
    if (line.verb == Verb::Uses) {
        if (positional.isEmpty())
            return usageError(err, verb, QStringLiteral("uses needs a GUID or a file name to look for"));
        if (positional[0].isEmpty())
            return usageError(err, verb, QStringLiteral("uses needs a GUID or a file name, not ''"));
        line.inventory.query = positional.takeFirst();
    }
    if (positional.size() > 1)
        return usageError(err, verb, QStringLiteral("one folder at most: unexpected ") + quoted(positional[1]));
    if (!positional.isEmpty()) {
        // An empty word would silently stand for the settings file's folder.
        if (positional[0].isEmpty())
            return usageError(err, verb, QStringLiteral("FOLDER needs a folder name, not ''"));
        line.folder = positional[0];
    }
    line.inventory.recursive = parser.isSet(recursive);

    if (parser.isSet(format)) {
        const QString value = parser.value(format);
        if (verbOptions & WorkbookFormat) {
            if (value != QStringLiteral("xls") && value != QStringLiteral("xlsx"))
                return usageError(err, verb, QStringLiteral("export's --format needs xls or xlsx, not ") + quoted(value));
            line.format = value;
        } else {
            if (!ParseOutputFormat(value, line.inventory.format))
                return usageError(err, verb, QStringLiteral("--format needs one of tsv, csv and json, not ") + quoted(value));
            line.inventory.formatGiven = true;
        }
    }
    if (parser.isSet(csvRaw)) {
        if (line.inventory.format != OutputFormat::Csv)
            return usageError(err, verb, QStringLiteral("--csv-raw goes with --format csv only"));
        line.inventory.csvFormulas = CsvFormulas::Raw;
    }
    if (parser.isSet(arch)) {
        const QString value = parser.value(arch);
        if (value != QStringLiteral("x86") && value != QStringLiteral("amd64"))
            return usageError(err, verb, QStringLiteral("--arch needs x86 or amd64, not ") + quoted(value));
        line.arch = value == QStringLiteral("x86") ? LoaderArch::X86 : LoaderArch::Amd64;
        line.inventory.arch = line.arch;
    }
    line.inventory.deep = parser.isSet(deep);
    if (parser.isSet(codePage)) {
        const QString value = parser.value(codePage);
        line.codePage = ParseCodePage(value);
        if (!line.codePage || !AnsiCodePage::isServed(*line.codePage))
            return usageError(err, verb, QStringLiteral("--codepage needs a Windows ANSI code page: 1250 to 1258, 874, 932, 936, 949, "
                                                        "950 or 65001, not ") + quoted(value));
    }
    line.world.windowsRoot = parser.value(windows);
    line.world.user = parser.value(windowsUser);
    if (parser.isSet(windows) && line.world.windowsRoot.isEmpty())
        return usageError(err, verb, QStringLiteral("--windows needs a folder, not ''"));
    if (parser.isSet(windowsUser) && line.world.user.isEmpty())
        return usageError(err, verb, QStringLiteral("--windows-user needs a user's name, not ''"));
    for (const QString& value : parser.values(drive)) {
        std::pair<QChar, QString> given;
        if (!ParseDriveOption(value, given))
            return usageError(err, verb, QStringLiteral("--drive needs a letter other than C, \"=\" and a folder (D=/mnt/data), not ") + quoted(value));
        for (const auto& known : line.world.drives)
            if (known.first == given.first)
                return usageError(err, verb, QStringLiteral("--drive names drive %1: twice").arg(given.first));
        line.world.drives.push_back(given);
    }
    const bool rootGiven = parser.isSet(windows) || !qEnvironmentVariableIsEmpty("ZANTREL_WINDOWS");
    if (!rootGiven && (parser.isSet(drive) || parser.isSet(windowsUser)))
        return usageError(err, verb, writtenOption(args, options, parser.isSet(drive) ? QStringLiteral("drive") : QStringLiteral("windows-user"))
                                         + QStringLiteral(" goes with --windows DIR (or $ZANTREL_WINDOWS)"));
    if (parser.isSet(output)) {
        line.output = parser.value(output);
        if (line.output.isEmpty())
            return usageError(err, verb, QStringLiteral("-o needs a file or folder name, not ''"));
    }

    if (line.verb == Verb::Report) {
        // The report names its folder: it never falls back on the settings file's.
        if (line.folder.isEmpty())
            return usageError(err, verb, QStringLiteral("report needs a FOLDER"));
        if (parser.isSet(detailed) && parser.isSet(summary))
            return usageError(err, verb, QStringLiteral("--detailed and --summary exclude each other"));
        if (!parser.isSet(detailed) && !parser.isSet(summary))
            return usageError(err, verb, QStringLiteral("report needs --detailed or --summary"));
        line.report.kind = parser.isSet(detailed) ? ReportKind::Detallado : ReportKind::Resumido;
        line.report.projects = parser.values(project);
        line.report.print = parser.isSet(print);
        if (line.output.isEmpty() && !line.report.print)
            return usageError(err, verb, QStringLiteral("report needs -o FILE or --print"));
    }
    return -1;
}

int ReadCommandLine(const QStringList& args, CommandLine& line)
{
    QByteArray out, err;
    const int status = ReadCommandLine(args, line, out, err);
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
    std::fwrite(err.constData(), 1, static_cast<size_t>(err.size()), stderr);
    return status;
}
