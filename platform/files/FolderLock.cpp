#include "platform/files/FolderLock.h"

#include "platform/files/HostNames.h"

#include <QElapsedTimer>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

FolderLock::FolderLock(const QString& hostFolder, int waitMs)
{
    const QByteArray name = HostNames::encode(hostFolder);
    if (name.isEmpty()) {
        error_ = ENOENT;
        return;
    }
    fd_ = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            locked_ = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error_ = errno;
            return;
        }
        if (clock.elapsed() >= waitMs) {
            error_ = EWOULDBLOCK;
            return;
        }
        ::usleep(20000);
    }
}

FolderLock::~FolderLock()
{
    if (fd_ >= 0)
        ::close(fd_); // closing the last descriptor releases the lock
}
