#include "platform/controls/Controls.h"

#include "platform/core/ProgramError.h"
#include "platform/files/FolderListing.h"
#include "platform/files/HostNames.h"
#include "platform/files/PathMapper.h"
#include "platform/files/ProgramFolder.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace {

// Windows wildcard match ignoring case: '*' any run, '?' any one character.
bool matchesPattern(const QString& pattern, const QString& name)
{
    qsizetype p = 0, n = 0, star = -1, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

// Names of the regular files of a host folder (links followed), read from the directory itself
// so that only links and file systems without entry types cost a stat each. Raises ProgramError
// 75 when the folder cannot be listed (no permission to read it, or a read that fails midway):
// a folder that cannot be read is not an empty one.
QStringList regularFileNames(const QString& hostFolder)
{
    QStringList names;
    const QByteArray folder = HostNames::encode(hostFolder);
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        RaiseStandardError(ErrorNumbers::PathFileAccessError);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            const int failure = errno;
            ::closedir(dir);
            if (failure != 0)
                RaiseStandardError(ErrorNumbers::PathFileAccessError);
            return names;
        }
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat status {};
            const QByteArray path = folder + '/' + entry->d_name;
            regular = ::stat(path.constData(), &status) == 0 && S_ISREG(status.st_mode);
        }
        if (regular)
            names.append(HostNames::decode(QByteArray(entry->d_name)));
    }
}

QString existingFolderOrRaise(const QString& windowsPath)
{
    const QString host = PathMapper::current().toHost(windowsPath);
    if (host.isEmpty() || HostEntryKind(host) != FolderEntryKind::Folder)
        RaiseStandardError(ErrorNumbers::PathNotFound);
    return host;
}

}

void TreeControl::ToggleByUser(int position)
{
    SetChecked(position, !Node(position).checked);
    if (NodeCheck)
        NodeCheck(position);
}

void FolderList::SetPath(const QString& windowsPath)
{
    existingFolderOrRaise(windowsPath);
    const QString path = FolderListForm(windowsPath);
    if (path == path_)
        return;
    path_ = path;
    if (Change)
        Change();
}

void FileList::SetPath(const QString& windowsPath)
{
    existingFolderOrRaise(windowsPath);
    path_ = FolderListForm(windowsPath);
    Refresh();
}

void FileList::Refresh()
{
    names_.clear();
    unnamable_.clear();
    if (path_.isEmpty())
        return;
    const QString host = existingFolderOrRaise(path_);
    // Regular files only (no FIFOs, sockets or devices); no hidden files.
    for (const QString& name : regularFileNames(host)) {
        if (name.startsWith(u'.') || !matchesPattern(pattern_, name))
            continue;
        (HostNames::hasWindowsName(name) ? names_ : unnamable_).append(name);
    }
    const auto inNameOrder = [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    };
    std::sort(names_.begin(), names_.end(), inNameOrder);
    std::sort(unnamable_.begin(), unnamable_.end(), inNameOrder);
}

const QString& FileList::List(int index) const
{
    if (index < 0 || index >= names_.size())
        RaiseStandardError(ErrorNumbers::InvalidPropertyValue);
    return names_[index];
}

MainControls::MainControls(TreeControl& tree, StatusBarControl& statusBar, ProgressBarControl& progressBar)
    : treeMain(tree), stbMain(statusBar), pgbStatus(progressBar)
{
    Dir1.Change = [this] { File1.SetPath(Dir1.Path()); };
}
