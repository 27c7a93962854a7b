#pragma once

#include <QHash>
#include <QString>

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
