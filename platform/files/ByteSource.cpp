#include "platform/files/ByteSource.h"

#include "platform/files/HostNames.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::optional<std::uint16_t> ByteSource::u16(std::uint64_t offset) const
{
    unsigned char b[2];
    if (!read(offset, b, sizeof b))
        return std::nullopt;
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::optional<std::uint32_t> ByteSource::u32(std::uint64_t offset) const
{
    unsigned char b[4];
    if (!read(offset, b, sizeof b))
        return std::nullopt;
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8)
        | (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::optional<std::int32_t> ByteSource::i32(std::uint64_t offset) const
{
    const auto value = u32(offset);
    if (!value)
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

bool MemorySource::read(std::uint64_t offset, void* out, std::size_t length) const
{
    if (!contains(offset, length))
        return false;
    if (length > 0)
        std::memcpy(out, bytes_.data() + offset, length);
    return true;
}

SubSource::SubSource(const ByteSource& outer, std::uint64_t offset, std::uint64_t length)
    : outer_(outer)
    , offset_(std::min(offset, outer.size()))
    , length_(std::min(length, outer.size() - offset_))
{
}

bool SubSource::read(std::uint64_t offset, void* out, std::size_t length) const
{
    return contains(offset, length) && outer_.read(offset_ + offset, out, length);
}

HostFileSource::HostFileSource(const QString& hostPath)
{
    const QByteArray name = HostNames::encode(hostPath);
    if (name.isEmpty()) {
        error_ = QStringLiteral("no file name");
        return;
    }
    // Devices are not opened at all (opening some has effects); O_NONBLOCK keeps a FIFO that
    // appears between the check and the open from stalling it, and fstat then turns it away.
    struct stat before {};
    if (::stat(name.constData(), &before) != 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    if (!S_ISREG(before.st_mode)) {
        error_ = QStringLiteral("not a regular file");
        return;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        error_ = QStringLiteral("not a regular file");
        ::close(fd);
        return;
    }
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(info.st_size);
}

HostFileSource::~HostFileSource()
{
    if (fd_ >= 0)
        ::close(fd_);
}

const char* HostFileSource::block(std::uint64_t start) const
{
    for (const Block& b : blocks_)
        if (b.start == start)
            return b.bytes;
    Block& b = blocks_[nextVictim_];
    nextVictim_ = (nextVictim_ + 1) % kBlocks;
    b.start = ~std::uint64_t(0);
    const std::size_t wanted = std::size_t(std::min<std::uint64_t>(kBlockSize, size_ - start));
    std::size_t got = 0;
    while (got < wanted) {
        const ssize_t n = ::pread(fd_, b.bytes + got, wanted - got, static_cast<off_t>(start + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return nullptr; // an error, or the file shrank under us
        got += std::size_t(n);
    }
    b.start = start;
    b.length = got;
    return b.bytes;
}

bool HostFileSource::read(std::uint64_t offset, void* out, std::size_t length) const
{
    if (fd_ < 0 || !contains(offset, length))
        return false;
    auto* dest = static_cast<char*>(out);
    while (length > 0) {
        const std::uint64_t start = offset / kBlockSize * kBlockSize;
        const char* bytes = block(start);
        if (!bytes)
            return false;
        const std::size_t within = std::size_t(offset - start);
        const std::size_t n = std::min(length, kBlockSize - within);
        std::memcpy(dest, bytes + within, n);
        dest += n;
        offset += n;
        length -= n;
    }
    return true;
}
