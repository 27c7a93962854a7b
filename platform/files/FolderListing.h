#pragma once

// Listing host folders: a folder's entries with their kinds, the identity of a folder whatever
// path reaches it, and finding an entry by name ignoring case.

#include <QHash>
#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

// What a folder entry is, links followed: a link to a folder is a folder, a dangling link is
// neither a folder nor a file.
enum class FolderEntryKind { Folder, File, Other };

struct FolderEntry {
    QString name; // decoded without loss (see HostNames)
    FolderEntryKind kind;
};

// The entries of the host folder `hostFolder` but "." and "..", in name order ignoring case
// (names equal but for case in code-unit order); nullopt when the folder cannot be read.
std::optional<std::vector<FolderEntry>> ListFolderEntries(const QString& hostFolder);

// What makes a folder the same folder whatever path reaches it, through links or not: its
// device and inode. A walk that follows links keeps these to enter each folder once.
struct FolderIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FolderIdentity&) const = default;
};
size_t qHash(const FolderIdentity& id, size_t seed = 0);

// The identity of what `hostPath` names, links followed; nullopt when it cannot be reached.
std::optional<FolderIdentity> IdentityOf(const QString& hostPath);

// What `hostPath` names, links followed, its bytes taken exactly (see HostNames); nullopt when
// nothing can be reached there.
std::optional<FolderEntryKind> HostEntryKind(const QString& hostPath);

// The name of the pseudo file system the host folder `hostFolder` lies on ("proc", "sysfs",
// "debugfs", "tracefs", "cgroup", "cgroup2", "securityfs", "bpf", "configfs", "pstore",
// "devpts", "efivarfs", "binfmt_misc", "fusectl"), or an empty string for any other folder (and
// one that cannot be reached). Such a file system shows the running system, not files: its
// folders are huge, change while they are listed, and hold no project; a walk of a tree does
// not go into one.
QString PseudoFileSystemOf(const QString& hostFolder);

// Finding a folder's entry by name ignoring case, as Wine resolves a path component that does
// not exist as written. Each lookup lists the folder; a FolderListingCache, while it is in use
// (FolderListingCache::Use), keeps each folder's listing the first time it is needed, so a load
// that looks up thousands of missing names in one folder lists it once. Within that time the
// folders are taken as unchanging.
class FolderListingCache {
public:
    // The entry of `folder` whose name equals `name` ignoring case (the first in name order),
    // or an empty string; listed once per folder.
    QString findIgnoringCase(const QString& folder, const QString& name);

    void clear() { folders_.clear(); }

    // Makes `cache` the one findEntryIgnoringCase uses on this thread until the object goes.
    class Use {
    public:
        explicit Use(FolderListingCache& cache);
        ~Use();
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;

    private:
        FolderListingCache* previous_;
    };

private:
    QHash<QString, QHash<QString, QString>> folders_; // folder -> case-folded name -> entry
};

// The entry of `folder` whose name equals `name` ignoring case (the first in name order), or an
// empty string; through the cache in use on this thread, if any.
QString findEntryIgnoringCase(const QString& folder, const QString& name);
