#include "platform/files/AnsiLineReader.h"

#include "platform/core/AnsiCodePage.h"
#include "platform/core/ProgramError.h"
#include "platform/files/HostNames.h"
#include "platform/files/PathMapper.h"
#include "platform/files/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kChunk = 64 * 1024;

std::size_t findLineEnd(const std::string& buffer, std::size_t from)
{
    const char* data = buffer.data();
    for (std::size_t i = from, n = buffer.size(); i < n; ++i)
        if (data[i] == '\n' || data[i] == '\r')
            return i;
    return std::string::npos;
}

}

namespace {

// Opens a regular file for reading; returns the descriptor or -1 with errno set (EACCES for
// anything that is not a regular file).
int openRegularFile(const QString& hostPath, long long& size)
{
    const OpenedFile opened = OpenRegularFile(hostPath);
    if (opened.fd < 0) {
        errno = opened.error;
        return -1;
    }
    size = opened.status.st_size;
    return opened.fd;
}

// Whether the folder that would hold `hostPath` exists, its name taken byte for byte.
bool folderExists(const QString& hostPath)
{
    const QByteArray name = HostNames::encode(hostPath);
    const qsizetype slash = name.lastIndexOf('/');
    struct stat status {};
    return slash >= 0 && ::stat(slash == 0 ? "/" : name.left(slash).constData(), &status) == 0
        && S_ISDIR(status.st_mode);
}

}

AnsiLineReader::AnsiLineReader(const QString& windowsPath)
{
    const PathMapper& mapper = PathMapper::current();
    // Most paths exist as written; only those that do not are resolved ignoring case.
    QString host = mapper.toHostAsWritten(windowsPath);
    int fd = host.isEmpty() ? -1 : openRegularFile(host, remaining_);
    if (fd < 0 && (host.isEmpty() || errno == ENOENT || errno == ENOTDIR)) {
        host = mapper.toHost(windowsPath);
        fd = host.isEmpty() ? -1 : openRegularFile(host, remaining_);
    }
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR || host.isEmpty()) {
            RaiseStandardError(folderExists(host) ? ErrorNumbers::FileNotFound : ErrorNumbers::PathNotFound);
        }
        RaiseStandardError(ErrorNumbers::PathFileAccessError);
    }
    fd_ = fd;
}

AnsiLineReader::AnsiLineReader(InMemory, std::string contents)
    : buffer_(std::move(contents))
    , endOfFile_(true)
{
}

AnsiLineReader::~AnsiLineReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool AnsiLineReader::fillBuffer()
{
    if (endOfFile_)
        return false;
    buffer_.erase(0, position_);
    position_ = 0;
    // Small files, the usual case, are read in one piece of their own size.
    // One byte more than the file held at opening, so a file that did not grow is read to its
    // end in one call and a short read tells the end without another.
    const long long chunk = std::clamp<long long>(remaining_ + 1, 1, kChunk);
    const std::size_t old = buffer_.size();
    buffer_.resize(old + static_cast<std::size_t>(chunk));
    ssize_t got;
    do
        got = ::read(fd_, buffer_.data() + old, static_cast<std::size_t>(chunk));
    while (got < 0 && errno == EINTR);
    if (got < 0)
        RaiseStandardError(ErrorNumbers::DeviceIOError);
    buffer_.resize(old + static_cast<std::size_t>(got));
    remaining_ = std::max<long long>(0, remaining_ - got);
    if (got < chunk)
        endOfFile_ = true;
    return got > 0;
}

bool AnsiLineReader::readLine(QString& line)
{
    std::size_t searchFrom = position_;
    for (;;) {
        const std::size_t end = findLineEnd(buffer_, searchFrom);
        if (end != std::string::npos) {
            // A CR at the end of the buffer may be the first half of CR LF: read on to see.
            if (buffer_[end] == '\r' && end + 1 == buffer_.size() && !endOfFile_) {
                const std::size_t offset = end - position_;
                fillBuffer();
                searchFrom = position_ + offset;
                continue;
            }
            line = AnsiCodePage::decode(std::string_view(buffer_).substr(position_, end - position_));
            position_ = end + 1;
            if (buffer_[end] == '\r' && position_ < buffer_.size() && buffer_[position_] == '\n')
                ++position_;
            return true;
        }
        if (static_cast<qsizetype>(buffer_.size() - position_) > kMaxLineLength)
            RaiseStandardError(ErrorNumbers::OutOfMemory);
        const std::size_t pending = buffer_.size() - position_;
        if (!fillBuffer()) {
            if (pending == 0)
                return false;
            line = AnsiCodePage::decode(std::string_view(buffer_).substr(position_));
            position_ = buffer_.size();
            return true;
        }
        searchFrom = position_ + pending;
    }
}
