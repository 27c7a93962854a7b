#include "platform/files/FolderListing.h"

#include "platform/files/HostNames.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/vfs.h>

namespace {

thread_local FolderListingCache* activeCache = nullptr;

// Name order ignoring case, names equal but for case in code-unit order.
bool inNameOrder(const QString& a, const QString& b)
{
    const int order = a.compare(b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

// Calls `visit` with each entry of the host folder `folder` but "." and ".."; false when the
// folder cannot be opened.
template <typename Visit>
bool forEachEntry(const QByteArray& folder, Visit visit)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            visit(*entry);
    }
    ::closedir(dir);
    return true;
}

// The folder's entry names in name order, each decoded without loss (see HostNames).
QStringList listing(const QString& folder)
{
    QStringList names;
    forEachEntry(HostNames::encode(folder),
                 [&](const dirent& entry) { names.append(HostNames::decode(QByteArray(entry.d_name))); });
    std::sort(names.begin(), names.end(), inNameOrder);
    return names;
}

// The kind of entry `entry` of `folder`; links, and entries the listing does not type, are
// looked up.
FolderEntryKind kindOf(const QByteArray& folder, const dirent& entry)
{
    if (entry.d_type == DT_DIR)
        return FolderEntryKind::Folder;
    if (entry.d_type == DT_REG)
        return FolderEntryKind::File;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return FolderEntryKind::Other;
    struct stat status {};
    if (::stat((folder + '/' + entry.d_name).constData(), &status) != 0)
        return FolderEntryKind::Other;
    return S_ISDIR(status.st_mode) ? FolderEntryKind::Folder
           : S_ISREG(status.st_mode) ? FolderEntryKind::File
                                     : FolderEntryKind::Other;
}

}

std::optional<std::vector<FolderEntry>> ListFolderEntries(const QString& hostFolder)
{
    const QByteArray folder = HostNames::encode(hostFolder);
    std::vector<FolderEntry> entries;
    if (!forEachEntry(folder, [&](const dirent& entry) {
            entries.push_back({HostNames::decode(QByteArray(entry.d_name)), kindOf(folder, entry)});
        }))
        return std::nullopt;
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return inNameOrder(a.name, b.name); });
    return entries;
}

size_t qHash(const FolderIdentity& id, size_t seed)
{
    return ::qHash(std::pair<quint64, quint64>(id.device, id.inode), seed);
}

std::optional<FolderIdentity> IdentityOf(const QString& hostPath)
{
    struct stat status {};
    if (::stat(HostNames::encode(hostPath).constData(), &status) != 0)
        return std::nullopt;
    return FolderIdentity{quint64(status.st_dev), quint64(status.st_ino)};
}

std::optional<FolderEntryKind> HostEntryKind(const QString& hostPath)
{
    const QByteArray name = HostNames::encode(hostPath);
    struct stat status {};
    if (name.isEmpty() || ::stat(name.constData(), &status) != 0)
        return std::nullopt;
    return S_ISDIR(status.st_mode) ? FolderEntryKind::Folder
           : S_ISREG(status.st_mode) ? FolderEntryKind::File
                                     : FolderEntryKind::Other;
}

QString PseudoFileSystemOf(const QString& hostFolder)
{
    // The magic numbers of linux/magic.h.
    static const struct {
        unsigned long magic;
        const char* name;
    } kPseudo[] = {
        {0x9fa0, "proc"},          {0x62656572, "sysfs"},    {0x64626720, "debugfs"},
        {0x74726163, "tracefs"},   {0x27e0eb, "cgroup"},     {0x63677270, "cgroup2"},
        {0x73636673, "securityfs"}, {0xcafe4a11, "bpf"},     {0x62656570, "configfs"},
        {0x6165676c, "pstore"},    {0x1cd1, "devpts"},       {0xde5e81e4, "efivarfs"},
        {0x42494e4d, "binfmt_misc"}, {0x65735543, "fusectl"},
    };
    const QByteArray name = HostNames::encode(hostFolder);
    struct statfs info {};
    if (name.isEmpty() || ::statfs(name.constData(), &info) != 0)
        return QString();
    for (const auto& pseudo : kPseudo)
        if (static_cast<unsigned long>(info.f_type) == pseudo.magic)
            return QString::fromLatin1(pseudo.name);
    return QString();
}

QString FolderListingCache::findIgnoringCase(const QString& folder, const QString& name)
{
    auto it = folders_.find(folder);
    if (it == folders_.end()) {
        // Of names equal ignoring case, the first in name order is kept, with no sort of the
        // whole folder (it may hold thousands of projects).
        QHash<QString, QString> byName;
        forEachEntry(HostNames::encode(folder), [&](const dirent& entry) {
            const QString name = HostNames::decode(QByteArray(entry.d_name));
            QString& kept = byName[name.toCaseFolded()];
            if (kept.isNull() || inNameOrder(name, kept))
                kept = name;
        });
        it = folders_.insert(folder, std::move(byName));
    }
    return it->value(name.toCaseFolded());
}

FolderListingCache::Use::Use(FolderListingCache& cache) : previous_(activeCache)
{
    activeCache = &cache;
}

FolderListingCache::Use::~Use()
{
    activeCache = previous_;
}

QString findEntryIgnoringCase(const QString& folder, const QString& name)
{
    if (activeCache)
        return activeCache->findIgnoringCase(folder, name);
    for (const QString& entry : listing(folder))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    return QString();
}
