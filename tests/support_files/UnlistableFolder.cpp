#include "support_files/UnlistableFolder.h"

#include <QFile>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr unsigned kBypass[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH};

bool capabilities(__user_cap_data_struct (&data)[2], bool set)
{
    __user_cap_header_struct header {_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}

// As root, saves the calling thread's capabilities in `saved` and gives up the bypassing ones;
// true when they were given up (and so must be put back).
bool dropBypass(__user_cap_data_struct (&saved)[2])
{
    if (::geteuid() != 0 || !capabilities(saved, false))
        return false;
    __user_cap_data_struct reduced[2] = {saved[0], saved[1]};
    for (unsigned cap : kBypass)
        reduced[cap / 32].effective &= ~(1u << (cap % 32));
    return capabilities(reduced, true);
}

}

UnlistableFolder::UnlistableFolder(QString hostFolder)
    : folder_(std::move(hostFolder))
{
    ::chmod(QFile::encodeName(folder_).constData(), 0);
    dropped_ = dropBypass(saved_);
}

UnlistableFolder::~UnlistableFolder()
{
    if (dropped_)
        capabilities(saved_, true);
    ::chmod(QFile::encodeName(folder_).constData(), 0755);
}

bool UnlistableFolder::unlistable() const
{
    DIR* dir = ::opendir(QFile::encodeName(folder_).constData());
    if (dir)
        ::closedir(dir);
    return dir == nullptr;
}

QStringList UnlistableFolder::WithoutPermissionBypass()
{
    if (::geteuid() != 0)
        return {};
    return {QStringLiteral("setpriv"), QStringLiteral("--bounding-set=-dac_override,-dac_read_search")};
}

UnreadableFile::UnreadableFile(QString hostFile)
    : file_(std::move(hostFile))
{
    ::chmod(QFile::encodeName(file_).constData(), 0);
    dropped_ = dropBypass(saved_);
}

UnreadableFile::~UnreadableFile()
{
    if (dropped_)
        capabilities(saved_, true);
    ::chmod(QFile::encodeName(file_).constData(), 0644);
}

bool UnreadableFile::unreadable() const
{
    const int fd = ::open(QFile::encodeName(file_).constData(), O_RDONLY);
    if (fd >= 0)
        ::close(fd);
    return fd < 0;
}
