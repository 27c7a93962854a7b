#include "platform/desktop/ShellExecute.h"

#include "platform/files/PathMapper.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <new>

namespace {

std::function<void(const ShellExecuteCall&)>& watcher()
{
    static std::function<void(const ShellExecuteCall&)> current;
    return current;
}

int& waitMilliseconds()
{
    static int wait = 4000;
    return wait;
}

// xdg-open's exit codes.
namespace XdgOpen {
constexpr int Success = 0;
constexpr int FileMissing = 2;
constexpr int NoMethod = 3;
constexpr int NoPermission = 5;
}

// A scheme of two letters or more, so that "c:\x" stays a path.
bool isLink(const QString& file)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(file).hasMatch();
}

bool isSeparator(QChar c)
{
    return c == u'\\' || c == u'/';
}

// The Windows form of the current folder.
QString currentWindowsFolder()
{
    return PathMapper::current().toWindows(QDir::currentPath());
}

// `path` made absolute in Windows form: drive paths and UNC paths as they are, a rooted path
// on the drive of `base`, anything else below `base`.
QString absoluteWindowsPath(const QString& path, const QString& base)
{
    if (PathMapper::isDrivePath(path) || path.startsWith(QStringLiteral("\\\\")))
        return path;
    if (!path.isEmpty() && isSeparator(path.front()))
        return base.left(2) + path;
    QString joined = base;
    if (!joined.isEmpty() && !isSeparator(joined.back()))
        joined += u'\\';
    return joined + path;
}

// Starts xdg-open on `target` and reads its verdict as a ShellExecuteA value.
WinApi::HINSTANCE runOpener(const QString& target, const QString& workingFolder)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return WinApi::SE_ERR_DLLNOTFOUND;

    // The process object outlives this call when the opener is still running at the end of the
    // wait (a browser started in the foreground): destroying it would end the opener.
    auto* process = new QProcess;
    process->setProgram(opener);
    process->setArguments({target});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    if (!workingFolder.isEmpty())
        process->setWorkingDirectory(workingFolder);
    process->start();
    if (!process->waitForStarted()) {
        delete process;
        return WinApi::SE_ERR_DLLNOTFOUND;
    }
    if (!process->waitForFinished(waitMilliseconds())) {
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return WinApi::ShellExecuteOpened;
    }
    const bool crashed = process->exitStatus() != QProcess::NormalExit;
    const int code = process->exitCode();
    delete process;
    if (crashed)
        return WinApi::SE_ERR_OPENFAILED;
    switch (code) {
    case XdgOpen::Success: return WinApi::ShellExecuteOpened;
    case XdgOpen::FileMissing: return WinApi::SE_ERR_FNF;
    case XdgOpen::NoMethod: return WinApi::SE_ERR_NOASSOC;
    case XdgOpen::NoPermission: return WinApi::SE_ERR_ACCESSDENIED;
    }
    return WinApi::SE_ERR_OPENFAILED;
}

WinApi::HINSTANCE shellExecute(const QString& operation, const QString& file, const QString& directory)
{
    const QString verb = operation.trimmed().toLower();
    if (!verb.isEmpty() && verb != QStringLiteral("open") && verb != QStringLiteral("explore"))
        return WinApi::SE_ERR_NOASSOC;
    if (file.isEmpty())
        return WinApi::SE_ERR_FNF;

    const PathMapper& paths = PathMapper::current();
    QString workingFolder;
    if (!directory.isEmpty()) {
        workingFolder = paths.toHost(absoluteWindowsPath(directory, currentWindowsFolder()));
        if (workingFolder.isEmpty() || !QFileInfo(workingFolder).isDir())
            return WinApi::SE_ERR_PNF;
    }
    if (isLink(file))
        return runOpener(file, workingFolder);

    const QString base = directory.isEmpty() ? currentWindowsFolder() : directory;
    const QString host = paths.toHost(absoluteWindowsPath(file, absoluteWindowsPath(base, currentWindowsFolder())));
    if (host.isEmpty())
        return WinApi::SE_ERR_PNF;
    const QFileInfo info(host);
    if (!info.exists())
        return info.absoluteDir().exists() ? WinApi::SE_ERR_FNF : WinApi::SE_ERR_PNF;
    if (!info.isReadable())
        return WinApi::SE_ERR_ACCESSDENIED;
    // An absolute host path: the opener never mistakes it for one of its options.
    return runOpener(info.absoluteFilePath(), workingFolder);
}

}

namespace WinApi {

HINSTANCE ShellExecuteA(QWidget* owner, const QString& operation, const QString& file, const QString& parameters,
                        const QString& directory, int showCommand)
{
    Q_UNUSED(owner);
    if (watcher())
        watcher()(ShellExecuteCall{operation, file, parameters, directory, showCommand});
    try {
        return shellExecute(operation, file, directory);
    } catch (const std::bad_alloc&) {
        return SE_ERR_OOM;
    }
}

}

void WatchShellExecute(std::function<void(const ShellExecuteCall&)> watcher_)
{
    watcher() = std::move(watcher_);
}

int ShellExecuteWait()
{
    return waitMilliseconds();
}

void SetShellExecuteWait(int milliseconds)
{
    waitMilliseconds() = std::max(0, milliseconds);
}
