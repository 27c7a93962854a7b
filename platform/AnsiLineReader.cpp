#include "platform/AnsiLineReader.h"

#include "platform/AnsiCodePage.h"
#include "platform/PathMapper.h"
#include "platform/ProgramError.h"

#include <QDir>
#include <QFileInfo>

namespace {
constexpr qint64 kChunk = 64 * 1024;
}

AnsiLineReader::AnsiLineReader(const QString& windowsPath)
{
    const QString host = PathMapper::current().toHost(windowsPath);
    const QFileInfo info(host);
    if (host.isEmpty() || !info.exists()) {
        const bool folderExists = !host.isEmpty() && info.absoluteDir().exists();
        RaiseStandardError(folderExists ? ErrorNumbers::FileNotFound : ErrorNumbers::PathNotFound);
    }
    // Only regular files: a FIFO would block, a folder or a device is not a text file.
    if (!info.isFile())
        RaiseStandardError(ErrorNumbers::PathFileAccessError);
    file_.setFileName(host);
    if (!file_.open(QIODevice::ReadOnly))
        RaiseStandardError(ErrorNumbers::PathFileAccessError);
}

bool AnsiLineReader::fillBuffer()
{
    if (endOfFile_)
        return false;
    buffer_.erase(0, position_);
    position_ = 0;
    const std::size_t old = buffer_.size();
    buffer_.resize(old + kChunk);
    const qint64 got = file_.read(buffer_.data() + old, kChunk);
    if (got < 0)
        RaiseStandardError(ErrorNumbers::DeviceIOError);
    buffer_.resize(old + static_cast<std::size_t>(got));
    if (got == 0)
        endOfFile_ = true;
    return got > 0;
}

bool AnsiLineReader::readLine(QString& line)
{
    std::size_t searchFrom = position_;
    for (;;) {
        const std::size_t end = buffer_.find_first_of("\r\n", searchFrom);
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
