#include "support_files/SmallTmpfs.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

SmallTmpfs::SmallTmpfs(int kilobytes)
{
    if (!dir_.isValid()) {
        whyNot_ = QStringLiteral("no temporary folder");
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k";
    if (::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0, options.constData()) == 0)
        mounted_ = true;
    else
        whyNot_ = QStringLiteral("mount: ") + QString::fromLocal8Bit(std::strerror(errno));
}

SmallTmpfs::~SmallTmpfs()
{
    if (mounted_)
        ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
}

void SmallTmpfs::fill() const
{
    const int fd = ::open(QFile::encodeName(dir_.path() + QStringLiteral("/filler")).constData(),
                          O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0)
        return;
    // Large writes first, then single bytes, until not even one fits.
    const QByteArray block(4096, 'f');
    while (::write(fd, block.constData(), size_t(block.size())) > 0) {
    }
    while (::write(fd, "f", 1) > 0) {
    }
    ::close(fd);
}
