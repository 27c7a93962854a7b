#include "catalogue/ProjectTree.h"

#include "platform/controls/Controls.h"
#include "platform/files/PathMapper.h"

#include <QFile>
#include <QSet>
#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

struct FolderIdentity {
    dev_t device;
    ino_t inode;
    bool operator==(const FolderIdentity&) const = default;
};

size_t qHash(const FolderIdentity& id, size_t seed = 0)
{
    return ::qHash(std::pair<quint64, quint64>(id.device, id.inode), seed);
}

// Names of the folders in a host folder (links to folders included), not hidden, sorted
// ignoring case; false when the folder cannot be read.
bool subfolderNames(const QString& hostFolder, QStringList& names)
{
    const QByteArray folder = QFile::encodeName(hostFolder);
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat status {};
            const QByteArray path = folder + '/' + entry->d_name;
            isFolder = ::stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
        }
        if (isFolder)
            names.append(QFile::decodeName(entry->d_name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    return true;
}

}

ProjectTreeListing ListProjectTree(const QString& folder, const QString& pattern)
{
    ProjectTreeListing listing;
    FileList files(pattern);
    files.SetPath(folder); // raises when the root is missing

    struct Pending {
        QString windowsPath; // with its trailing backslash
        QString hostPath;
    };
    QString root = files.Path();
    if (!root.endsWith(u'\\'))
        root += u'\\';
    std::vector<Pending> stack{{root, PathMapper::current().toHost(root)}};
    QSet<FolderIdentity> seen;
    bool first = true;
    while (!stack.empty()) {
        const Pending at = std::move(stack.back());
        stack.pop_back();
        struct stat status {};
        if (::stat(QFile::encodeName(at.hostPath).constData(), &status) != 0) {
            listing.unreadable.append(at.windowsPath);
            continue;
        }
        if (seen.contains({status.st_dev, status.st_ino}))
            continue; // met before, through a link or the link's target
        seen.insert({status.st_dev, status.st_ino});

        if (!first)
            files.SetPath(at.windowsPath);
        first = false;
        for (int i = 0; i < files.ListCount(); ++i)
            listing.files.append(at.windowsPath + files.List(i));

        QStringList names;
        if (!subfolderNames(at.hostPath, names)) {
            listing.unreadable.append(at.windowsPath);
            continue;
        }
        for (auto name = names.crbegin(); name != names.crend(); ++name)
            stack.push_back({at.windowsPath + *name + u'\\', at.hostPath + u'/' + *name});
    }
    return listing;
}
