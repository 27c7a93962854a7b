#include "platform/files/UserFolders.h"

#include "platform/files/PathMapper.h"
#include "platform/files/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>

QString DocumentsFolder()
{
    QProcess process;
    process.start(QStringLiteral("xdg-user-dir"), {QStringLiteral("DOCUMENTS")});
    // xdg-user-dir reads one small file; a helper that hangs is treated as missing.
    if (process.waitForStarted(2000) && process.waitForFinished(5000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0) {
        const QString named = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
        if (!named.isEmpty() && !named.contains(u'\n') && QDir::isAbsolutePath(named) && QFileInfo(named).isDir())
            return QDir::cleanPath(named);
    } else {
        process.kill();
        process.waitForFinished(1000);
    }
    return QDir::homePath();
}

bool CanWriteInFolder(const QString& hostFolder)
{
    if (hostFolder.isEmpty() || !QFileInfo(hostFolder).isDir())
        return false;
    QTemporaryFile probe(QDir(hostFolder).filePath(QStringLiteral(".zantrel-XXXXXX")));
    return probe.open();
}

bool IsInstalledProgramFolder(const QString& programHostFolder)
{
    if (programHostFolder.isEmpty())
        return false;
    const QStringList names = QDir::cleanPath(QDir(programHostFolder).absolutePath()).split(u'/', Qt::SkipEmptyParts);
    if (!names.isEmpty() && names.last() == QStringLiteral("bin"))
        return true;
    return names.contains(QStringLiteral("usr")) || names.contains(QStringLiteral("opt"));
}

QString OutputFolderFor(const QString& programHostFolder)
{
    // Nothing is written onto a Windows machine's disk, even where the program lies on it.
    const bool own = !IsInstalledProgramFolder(programHostFolder) && !PathMapper::current().isWindowsRoot()
                     && CanWriteInFolder(programHostFolder);
    const QString host = own ? programHostFolder : DocumentsFolder();
    return FolderListForm(PathMapper::current().toWindows(host));
}

QString OutputFolder()
{
    return OutputFolderFor(QCoreApplication::applicationDirPath());
}
