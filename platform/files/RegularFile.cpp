#include "platform/files/RegularFile.h"

#include "platform/files/HostNames.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

OpenedFile OpenRegularFile(const QString& hostPath)
{
    OpenedFile opened;
    const QByteArray name = HostNames::encode(hostPath);
    if (name.isEmpty()) {
        opened.error = ENOENT;
        return opened;
    }
    struct stat before {};
    if (::stat(name.constData(), &before) != 0) {
        opened.error = errno;
        return opened;
    }
    if (!S_ISREG(before.st_mode)) {
        opened.error = EACCES;
        opened.notRegular = true;
        return opened;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        opened.error = errno;
        return opened;
    }
    if (::fstat(fd, &opened.status) != 0 || !S_ISREG(opened.status.st_mode) || opened.status.st_size < 0) {
        ::close(fd);
        opened.error = EACCES;
        opened.notRegular = true;
        return opened;
    }
    opened.fd = fd;
    return opened;
}

bool IsRegularFile(const QString& hostPath)
{
    const QByteArray name = HostNames::encode(hostPath);
    struct stat status {};
    return !name.isEmpty() && ::stat(name.constData(), &status) == 0 && S_ISREG(status.st_mode);
}
