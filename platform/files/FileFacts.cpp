#include "platform/files/FileFacts.h"

#include "platform/files/HostNames.h"
#include "platform/files/PathMapper.h"
#include "platform/files/RegularFile.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::optional<FileFacts> factsOfHostFile(const QString& hostPath)
{
    if (hostPath.isEmpty())
        return std::nullopt;
    const OpenedFile opened = OpenRegularFile(hostPath);
    if (opened.fd < 0)
        return std::nullopt;
    ::close(opened.fd);
    const struct stat& status = opened.status;
    FileFacts facts;
    facts.size = status.st_size;
    const qint64 ms = qint64(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1000000;
    facts.lastWrite = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
    return facts;
}

}

std::optional<FileFacts> ReadFileFacts(const QString& windowsPath)
{
    const PathMapper& mapper = PathMapper::current();
    if (auto facts = factsOfHostFile(mapper.toHostAsWritten(windowsPath)))
        return facts;
    return factsOfHostFile(mapper.toHost(windowsPath));
}
