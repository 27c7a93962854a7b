#include "support_files/TempPrefix.h"

#include "platform/core/AnsiCodePage.h"
#include "platform/files/PathMapper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <stdexcept>

TempPrefix::TempPrefix()
    : previousPrefix_(PathMapper::current().prefix())
{
    if (!dir_.isValid())
        throw std::runtime_error("cannot make a temporary prefix");
    QDir root(dir_.path());
    root.mkpath(QStringLiteral("drive_c/windows"));
    root.mkpath(QStringLiteral("dosdevices"));
    QFile::link(QStringLiteral("../drive_c"), root.filePath(QStringLiteral("dosdevices/c:")));
    QFile::link(QStringLiteral("/"), root.filePath(QStringLiteral("dosdevices/z:")));
    PathMapper::setCurrent(dir_.path());
}

TempPrefix::~TempPrefix()
{
    PathMapper::setCurrent(previousPrefix_);
}

QString TempPrefix::hostPath(const QString& belowDriveC) const
{
    return dir_.path() + QStringLiteral("/drive_c/") + belowDriveC;
}

void TempPrefix::makeFolder(const QString& belowDriveC) const
{
    QDir().mkpath(hostPath(belowDriveC));
}

void TempPrefix::writeFile(const QString& belowDriveC, const QByteArray& bytes) const
{
    const QString path = hostPath(belowDriveC);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write a test file");
}

void TempPrefix::writeLines(const QString& belowDriveC, const QStringList& lines, const QByteArray& lineEnd,
                            bool endLast) const
{
    QByteArray bytes;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        bytes += AnsiCodePage::encode(lines[i]);
        if (i + 1 < lines.size() || endLast)
            bytes += lineEnd;
    }
    writeFile(belowDriveC, bytes);
}

int RunCli(const QStringList& arguments, const QString& prefix, QByteArray* out, QByteArray* err,
           const QStringList& launcher)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WINEPREFIX"), prefix);
    // The page comes from the prefix unless a test's launcher names one.
    environment.remove(QStringLiteral("ZANTREL_CODEPAGE"));
    // The prefix is the world unless a test names a Windows root on the command line.
    environment.remove(QStringLiteral("ZANTREL_WINDOWS"));
    process.setProcessEnvironment(environment);
    if (launcher.isEmpty())
        process.start(QStringLiteral(ZANTREL_CLI), arguments);
    else
        process.start(launcher.first(), launcher.mid(1) + QStringList{QStringLiteral(ZANTREL_CLI)} + arguments);
    process.waitForFinished(120000);
    if (out)
        *out = process.readAllStandardOutput();
    if (err)
        *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
