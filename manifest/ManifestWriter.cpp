#include "manifest/ManifestWriter.h"

#include "platform/files/AtomicFile.h"
#include "platform/files/PathMapper.h"
#include "platform/files/RegularFile.h"

#include <QFileInfo>

namespace {

const QByteArray kOwnMark = "<!-- Written by Zantrel from the program's project file. -->";

}

bool IsOwnManifest(const QByteArray& bytes)
{
    return bytes.left(4096).contains(kOwnMark);
}

QByteArray ManifestFileBytes(const PlannedManifest& planned, int* dropped)
{
    QByteArray xml = ManifestXml(planned.manifest, dropped);
    const qsizetype declarationEnd = xml.indexOf("?>");
    xml.insert(declarationEnd < 0 ? 0 : declarationEnd + 2, "\n" + kOwnMark);
    return xml;
}

bool WriteManifest(const PlannedManifest& planned, bool force, ManifestWriteFailure* failure, int* dropped)
{
    const QString host = PathMapper::current().toHost(planned.windowsPath);
    if (host.isEmpty()) {
        failure->systemReason = QStringLiteral("its drive is not mapped");
        failure->sentence = planned.windowsPath + QStringLiteral(": its drive is not mapped");
        return false;
    }
    if (QFileInfo(host).exists() && !force) {
        const FileContents old = ReadRegularFile(host, 1 << 20, FollowLinks::No, PastTheBound::KeepHead);
        if (!old.ok() || !IsOwnManifest(old.bytes)) {
            failure->foreignFile = true;
            failure->sentence = planned.windowsPath + QStringLiteral(" exists and was not written by Zantrel: it is kept");
            return false;
        }
    }
    AtomicFile::Failure written;
    if (!AtomicFile::writeFile(host, ManifestFileBytes(planned, dropped), AtomicFile::Links::ReplaceLink, &written)) {
        failure->systemReason = written.description;
        failure->sentence = QStringLiteral("cannot write %1 (%2: %3)").arg(planned.windowsPath, written.path, written.description);
        return false;
    }
    return true;
}
