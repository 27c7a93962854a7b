#pragma once

#include "platform/files/FolderListing.h"
#include "platform/typelib/TypeLibService.h"

#include <QHash>
#include <QString>
#include <cstdint>
#include <optional>
#include <utility>

// What one load of a folder knows beyond the catalogue: the project file being read, so that
// paths its lines write relative to its folder resolve, and what the resolvers have looked up.
// Within one load the registry, the libraries and their files are taken as unchanging, so each
// registration, library and file is looked at once however many lines name it. The load makes
// one and hands it to the reader and the resolvers; nothing of it outlives the load.
struct LoadContext {
    // Full Windows path of the project file being read.
    QString readingProjectPath;

    QHash<QString, QString> registeredFiles;                     // registry key -> file
    QHash<QString, std::optional<TypeLibInfo>> registered;       // "GUID#major#minor" -> library
    QHash<QString, std::optional<TypeLibInfo>> fromFile;         // file path -> library
    QHash<QString, std::pair<std::int32_t, QString>> fileFacts; // file path -> size, date

    // Each folder listed once to find a name ignoring case (in use while a project is read).
    FolderListingCache folderListings;
    // Each library's registered versions listed once.
    TypeLibVersionIndex typeLibVersions;
};
