#include "app/CIni.h"
#include "app/mMain.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FolderScan.h"
#include "cli/CatalogueListing.h"
#include "platform/MemoryControls.h"
#include "platform/MessageBoxes.h"
#include "platform/PathMapper.h"
#include "platform/ProgramError.h"
#include "support/Version.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

namespace {

const char* const kUsage =
    "Usage: zantrel-cli VERB [FOLDER]\n"
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
    "\n"
    "Output is UTF-8; a backslash, tab, CR or LF inside a field is written as \\\\, \\t, \\r, \\n.\n"
    "Message boxes the load shows go to standard error as \"[icon] text\".\n"
    "\n"
    "Exit status: 0 after a load, 1 when the folder cannot be read, 2 on wrong usage.\n";

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
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(Version::AppTitle));
    const QStringList args = QCoreApplication::arguments().mid(1);

    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.isEmpty() || args.size() > 2)
        return usageError("a verb and at most one folder are needed");
    const QString verb = args[0];
    if (verb != QStringLiteral("tree") && verb != QStringLiteral("catalogue"))
        return usageError("unknown verb");

    StandardErrorMessageBoxes messages;
    InstallMessageBoxAnswerer(&messages);

    Catalogue catalogue;
    catalogue.ScanPath = args.size() == 2 ? windowsFolder(args[1]) : LeerScanPath(SharedIni());
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

    writeOut(verb == QStringLiteral("tree") ? CatalogueListing::tree(controls.tree)
                                            : CatalogueListing::catalogue(catalogue));
    return 0;
}
