#include "platform/files/AtomicFile.h"

#include "platform/core/ProgramError.h"
#include "platform/files/HostNames.h"
#include "platform/files/PathMapper.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <string>
#include <string_view>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file a chain of symbolic links ends at (or the name itself when it is no link). A chain
// longer than the system allows ends where it stops; opening there then fails as it would.
QString followLinks(const QString& path)
{
    QString current = path;
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            break;
        current = info.symLinkTarget();
    }
    return current;
}

// When this run started, near enough: the time the program's static data was set up. A temporary
// file of ours older than that was left by an earlier run that was killed before it could remove it.
const struct timespec kRunStart = [] {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}();

bool isBase36(std::string_view text)
{
    if (text.empty() || text.size() > 13) // 13 digits hold any 64-bit number
        return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return false;
    return true;
}

// Removes from `folder` the temporary files an earlier run left for the file `name`: only names of
// the form AtomicFile::open gives them (".<name>.<base-36 number>.tmp"), only regular files of
// this user, and only those last written before this run started, so another run's file in the
// making is never touched.
void removeLeftoverTemporaries(const QByteArray& folder, const QByteArray& name)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const std::string start = ('.' + name.left(200) + '.').toStdString();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view entryName(entry->d_name);
        if (entryName.size() <= start.size() + 4 || !entryName.starts_with(start) || !entryName.ends_with(".tmp"))
            continue;
        if (!isBase36(entryName.substr(start.size(), entryName.size() - start.size() - 4)))
            continue;
        struct stat status {};
        if (::fstatat(::dirfd(dir), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode)
            || status.st_uid != ::geteuid())
            continue;
        const bool older = status.st_mtim.tv_sec < kRunStart.tv_sec
                           || (status.st_mtim.tv_sec == kRunStart.tv_sec && status.st_mtim.tv_nsec < kRunStart.tv_nsec);
        if (older)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

}

AtomicFile::AtomicFile(const QString& hostPath, Links links)
    : destination_(links == Links::WriteTarget ? followLinks(hostPath) : hostPath)
{
}

AtomicFile::~AtomicFile()
{
    if (!committed_)
        discard();
}

bool AtomicFile::fail(int number, const QString& path)
{
    if (!failure_.failed()) {
        failure_.number = number ? number : EIO;
        failure_.description = QString::fromLocal8Bit(std::strerror(failure_.number));
        failure_.path = path;
    }
    discard();
    return false;
}

void AtomicFile::discard()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.isEmpty()) {
        ::unlink(temporary_.constData());
        temporary_.clear();
    }
}

bool AtomicFile::open()
{
    if (destination_.isEmpty())
        return fail(ENOENT, destination_);
    if (HostNames::encode(destination_).isEmpty())
        return fail(EINVAL, destination_); // a NUL in the name
    // A Windows machine's disk is read, never written, whatever path leads onto it.
    if (PathMapper::current().isReadOnly(destination_))
        return fail(EROFS, destination_);
    const QFileInfo info(destination_);
    const QByteArray folder = HostNames::encode(info.absolutePath());
    const QByteArray name = HostNames::encode(info.fileName());
    // The old file's permissions carry over; a new file gets the usual ones under the umask.
    struct stat old {};
    const bool hadFile = ::lstat(HostNames::encode(destination_).constData(), &old) == 0 && S_ISREG(old.st_mode);
    removeLeftoverTemporaries(folder, name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray candidate = folder + "/." + name.left(200) + '.'
                                     + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
        const int fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            fd_ = fd;
            temporary_ = candidate;
            if (hadFile && ::fchmod(fd_, old.st_mode & 07777) != 0)
                return fail(errno, HostNames::decode(candidate));
            return true;
        }
        if (errno != EEXIST)
            return fail(errno, HostNames::decode(candidate));
    }
    return fail(EEXIST, destination_);
}

bool AtomicFile::write(QByteArrayView bytes)
{
    if (fd_ < 0 || finished_)
        return fail(failure_.failed() ? failure_.number : EBADF, destination_);
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd_, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno, HostNames::decode(temporary_));
        }
        if (written == 0)
            return fail(ENOSPC, HostNames::decode(temporary_));
        data += written;
        left -= written;
    }
    return true;
}

bool AtomicFile::finish()
{
    if (finished_)
        return true;
    if (fd_ < 0)
        return fail(failure_.failed() ? failure_.number : EBADF, destination_);
    const QString temporary = HostNames::decode(temporary_);
    if (::fsync(fd_) != 0)
        return fail(errno, temporary);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return fail(errno, temporary);
    finished_ = true;
    return true;
}

bool AtomicFile::commit()
{
    if (committed_)
        return true;
    if (!finish())
        return false;
    // rename() replaces the name itself: a link there is replaced, never written through.
    if (::rename(temporary_.constData(), HostNames::encode(destination_).constData()) != 0)
        return fail(errno, destination_);
    temporary_.clear();
    committed_ = true;
    // The rename itself is made durable with the folder's entry.
    const int folder = ::open(HostNames::encode(QFileInfo(destination_).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

bool AtomicFile::writeFile(const QString& hostPath, QByteArrayView bytes, Links links, Failure* failure)
{
    AtomicFile file(hostPath, links);
    const bool ok = file.open() && file.write(bytes) && file.commit();
    if (failure)
        *failure = file.failure();
    return ok;
}

void RaiseWriteFailure(const AtomicFile::Failure& failure)
{
    int number = ErrorNumbers::PathFileAccessError;
    switch (failure.number) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: number = ErrorNumbers::DiskFull; break;
    case ENOENT:
    case ENOTDIR: number = ErrorNumbers::PathNotFound; break;
    case EIO: number = ErrorNumbers::DeviceIOError; break;
    }
    throw ProgramError(number,
                       StandardErrorDescription(number) + QStringLiteral(" (") + failure.description
                           + QStringLiteral(", errno %1: ").arg(failure.number) + failure.path + u')');
}
