#include "app/WindowArguments.h"

#include "platform/files/FolderListing.h"
#include "platform/files/HostNames.h"
#include "platform/files/PathMapper.h"
#include "support/Version.h"

#include <QDir>
#include <cstdio>

const char* const WindowUsage =
    "Usage: zantrel [--windows DIR [--drive D=DIR]... [--windows-user NAME]] [FOLDER]\n"
    "\n"
    "Opens the Zantrel window over the Visual Basic project files (*.vbp) of FOLDER, a Windows\n"
    "path (c:\\vb\\) seen through the Wine prefix named by $WINEPREFIX (else ~/.wine) or a host\n"
    "path. Without FOLDER, the folder named in the settings file (ZANTREL.INI in the prefix's\n"
    "Windows folder) is loaded; FOLDER does not change the settings file.\n"
    "\n"
    "  --windows DIR  reads a Windows system's disk (a mounted partition, an image, a copy)\n"
    "             instead of a Wine prefix (also $ZANTREL_WINDOWS=DIR); DIR is drive C:. Nothing\n"
    "             under DIR is written: the settings file is $XDG_CONFIG_HOME/zantrel/ZANTREL.INI\n"
    "  --drive D=DIR  with --windows: drive D: is the host folder DIR\n"
    "  --windows-user NAME  with --windows: the profile read as HKEY_CURRENT_USER\n"
    "  --help     prints this text\n"
    "  --version  prints the version\n";

namespace {

// Shows a path in a message on one line, whatever it holds.
QByteArray Printable(const QString& path)
{
    QString shown = HostNames::displayed(path);
    shown.replace(u'\n', QStringLiteral("\\n")).replace(u'\r', QStringLiteral("\\r")).replace(u'\t', QStringLiteral("\\t"));
    return shown.toUtf8();
}

int Fail(int status, const QByteArray& message)
{
    std::fprintf(stderr, "zantrel: %s\n", message.constData());
    if (status == 2)
        std::fprintf(stderr, "\n%s", WindowUsage);
    return status;
}

}

int ReadWindowArguments(const QStringList& args, WindowArguments& arguments)
{
    QStringList positional;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        // An option with a value: "--windows DIR" or "--windows=DIR".
        QString value;
        const auto takes = [&](const QString& name) {
            if (arg == name) {
                if (i + 1 >= args.size())
                    return false;
                value = args[++i];
                return true;
            }
            if (arg.startsWith(name + u'=')) {
                value = arg.mid(name.size() + 1);
                return true;
            }
            return false;
        };
        if (optionsEnded || !arg.startsWith(u'-') || arg == QStringLiteral("-")) {
            positional.append(arg);
        } else if (takes(QStringLiteral("--windows"))) {
            if (value.isEmpty())
                return Fail(2, "--windows needs a folder");
            arguments.world.windowsRoot = value;
        } else if (takes(QStringLiteral("--windows-user"))) {
            if (value.isEmpty())
                return Fail(2, "--windows-user needs a user's name");
            arguments.world.user = value;
        } else if (takes(QStringLiteral("--drive"))) {
            std::pair<QChar, QString> drive;
            if (!ParseDriveOption(value, drive))
                return Fail(2, "--drive needs a letter other than C, \"=\" and a folder (D=/mnt/data), not " + Printable(value));
            arguments.world.drives.push_back(drive);
        } else if (arg == QStringLiteral("--")) {
            optionsEnded = true;
        } else if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
            std::fputs(WindowUsage, stdout);
            return 0;
        } else if (arg == QStringLiteral("--version")) {
            std::printf("%s\n", Version::Line().c_str());
            return 0;
        } else {
            return Fail(2, "unknown option " + Printable(arg) + " (a folder starting with a dash goes after --)");
        }
    }
    if (positional.size() > 1)
        return Fail(2, "at most one folder is taken");
    if ((!arguments.world.drives.empty() || !arguments.world.user.isEmpty()) && arguments.world.windowsRoot.isEmpty()
        && qEnvironmentVariableIsEmpty("ZANTREL_WINDOWS"))
        return Fail(2, "--drive and --windows-user go with --windows DIR (or $ZANTREL_WINDOWS)");
    UseWorld(arguments.world);
    if (const QString problem = WorldError(); !problem.isEmpty())
        return Fail(1, Printable(problem));
    if (positional.isEmpty())
        return -1;

    const QString given = positional.front();
    if (given.isEmpty())
        return Fail(2, "the folder is empty");
    const PathMapper& paths = PathMapper::current();
    const QString host = PathMapper::isDrivePath(given) ? paths.toHost(given) : QDir::current().absoluteFilePath(given);
    // The name's own bytes, also where they are not UTF-8 (see HostNames).
    const std::optional<FolderEntryKind> kind = host.isEmpty() ? std::nullopt : HostEntryKind(host);
    if (!kind)
        return Fail(1, Printable(given) + ": no such folder");
    if (*kind != FolderEntryKind::Folder)
        return Fail(1, Printable(given) + ": not a folder");
    arguments.folder = PathMapper::isDrivePath(given) ? given : paths.toWindows(QDir::cleanPath(host));
    return -1;
}
