#include "platform/files/FileFacts.h"

#include "platform/files/HostNames.h"
#include "platform/files/PathMapper.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::optional<FileFacts> factsOfHostFile(const QString& hostPath)
{
    if (hostPath.isEmpty())
        return std::nullopt;
    const int fd = ::open(HostNames::encode(hostPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat status {};
    const bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    ::close(fd);
    if (!ok)
        return std::nullopt;
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
