#include "platform/files/FolderListing.h"

#include "platform/files/HostNames.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>

namespace {

thread_local FolderListingCache* activeCache = nullptr;

// The folder's entries in name order, each name decoded without loss (see HostNames).
QStringList listing(const QString& folder)
{
    QStringList names;
    DIR* dir = ::opendir(HostNames::encode(folder).constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.append(HostNames::decode(QByteArray(entry->d_name)));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

}

QString FolderListingCache::findIgnoringCase(const QString& folder, const QString& name)
{
    auto it = folders_.find(folder);
    if (it == folders_.end()) {
        QHash<QString, QString> byName;
        for (const QString& entry : listing(folder)) {
            const QString key = entry.toCaseFolded();
            if (!byName.contains(key))
                byName.insert(key, entry);
        }
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
