#include "support_files/UnlistableFolder.h"

#include <QFile>
#include <dirent.h>
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

}

UnlistableFolder::UnlistableFolder(QString hostFolder)
    : folder_(std::move(hostFolder))
{
    ::chmod(QFile::encodeName(folder_).constData(), 0);
    if (::geteuid() == 0 && capabilities(saved_, false)) {
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        for (unsigned cap : kBypass)
            reduced[cap / 32].effective &= ~(1u << (cap % 32));
        dropped_ = capabilities(reduced, true);
    }
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
