#include "platform/files/RegularFile.h"

#include "platform/files/HostNames.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

OpenedFile OpenRegularFile(const QString& hostPath, FollowLinks links)
{
    OpenedFile opened;
    const QByteArray name = HostNames::encode(hostPath);
    if (name.isEmpty()) {
        opened.error = ENOENT;
        return opened;
    }
    const bool follow = links == FollowLinks::Yes;
    struct stat before {};
    if ((follow ? ::stat(name.constData(), &before) : ::lstat(name.constData(), &before)) != 0) {
        opened.error = errno;
        return opened;
    }
    if (S_ISLNK(before.st_mode)) {
        opened.error = ELOOP;
        opened.link = true;
        return opened;
    }
    if (!S_ISREG(before.st_mode)) {
        opened.error = EACCES;
        opened.notRegular = true;
        return opened;
    }
    const int fd = ::open(name.constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (follow ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        opened.error = errno;
        opened.link = !follow && errno == ELOOP; // a link planted since the check
        return opened;
    }
    if (::fstat(fd, &opened.status) != 0 || !S_ISREG(opened.status.st_mode) || opened.status.st_size < 0) {
        ::close(fd);
        opened.error = EACCES;
        opened.notRegular = true;
        return opened;
    }
    // A regular file: reads may block as usual again (on a network file system they can).
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        opened.error = errno;
        ::close(fd);
        return opened;
    }
    opened.fd = fd;
    return opened;
}

QString FileContents::reason() const
{
    if (ok())
        return QString();
    if (link)
        return QStringLiteral("a symbolic link, not followed");
    if (notRegular)
        return QStringLiteral("not a regular file");
    if (tooLarge)
        return QStringLiteral("larger than %1 bytes").arg(limit);
    return QString::fromLocal8Bit(std::strerror(error));
}

FileContents ReadRegularFile(const QString& hostPath, qint64 limit, FollowLinks links, PastTheBound past)
{
    FileContents contents;
    const OpenedFile opened = OpenRegularFile(hostPath, links);
    if (opened.fd < 0) {
        contents.error = opened.error;
        contents.missing = opened.error == ENOENT || opened.error == ENOTDIR;
        contents.notRegular = opened.notRegular;
        contents.link = opened.link;
        return contents;
    }
    limit = std::max<qint64>(limit, 0);
    contents.limit = limit;
    if (past == PastTheBound::Fail && opened.status.st_size > limit) {
        ::close(opened.fd);
        contents.error = EFBIG;
        contents.tooLarge = true;
        return contents;
    }
    // The size the file says it has is a hint only: it may grow or shrink while read, so the
    // reading stops at the end it finds or one byte past the bound, whichever comes first.
    const qint64 wanted = limit + (past == PastTheBound::Fail ? 1 : 0);
    QByteArray bytes;
    try {
        bytes.reserve(qsizetype(std::min<qint64>(opened.status.st_size, wanted)));
        constexpr qint64 kChunk = 1 << 20;
        while (bytes.size() < wanted) {
            const qsizetype have = bytes.size();
            const qint64 step = std::min<qint64>(kChunk, wanted - have);
            bytes.resize(have + qsizetype(step));
            const ssize_t got = ::read(opened.fd, bytes.data() + have, size_t(step));
            if (got < 0) {
                bytes.resize(have);
                if (errno == EINTR)
                    continue;
                contents.error = errno;
                break;
            }
            bytes.resize(have + got);
            if (got == 0)
                break;
        }
    } catch (...) {
        ::close(opened.fd);
        throw;
    }
    ::close(opened.fd);
    if (contents.error != 0)
        return contents;
    if (bytes.size() > limit) {
        contents.error = EFBIG;
        contents.tooLarge = true;
        return contents;
    }
    contents.bytes = std::move(bytes);
    return contents;
}

bool IsRegularFile(const QString& hostPath)
{
    const QByteArray name = HostNames::encode(hostPath);
    struct stat status {};
    return !name.isEmpty() && ::stat(name.constData(), &status) == 0 && S_ISREG(status.st_mode);
}
