#pragma once

// The type-library information service: libraries loaded from a file or by registration.
// The registrations are an interface; the real one is RegistryTypeLibRegistrations.

#include "platform/typelib/TypeLibReader.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// Read access to the type-library registrations under HKEY_CLASSES_ROOT ("TypeLib\{GUID}\1.0\0\win32").
// Abstract so the service can be tested without a registry; the real implementation reads
// the prefix's registry. Key names compare ignoring case.
class TypeLibRegistrations {
public:
    virtual ~TypeLibRegistrations() = default;

    // Names of the subkeys of the key at `hkcrPath` (relative to HKEY_CLASSES_ROOT), in the
    // registry's order; empty when the key is missing.
    virtual QStringList subkeys(const QString& hkcrPath) const = 0;

    // The default value of the key at `hkcrPath`, with %NAME% references expanded when it is
    // of expandable type; nullopt when the key or its default value is missing.
    virtual std::optional<QString> defaultValue(const QString& hkcrPath) const = 0;
};

// The version keys of registered libraries ("TypeLib\{GUID}\1.0"), listed and parsed once per
// library and kept ordered, so a load that asks for many versions of a library with very many
// registered versions lists them once. The registry is taken as unchanging while it is used; the
// load that owns it drops it at its end.
class TypeLibVersionIndex {
public:
    void clear() { libraries_.clear(); }

private:
    friend class TypeLibService;
    struct Entry {
        std::uint16_t minor;
        QString name;
    };
    // Per major version, the entries ordered by minor, registry order kept among equal minors.
    using Library = std::map<std::uint16_t, std::vector<Entry>>;
    QHash<QString, Library> libraries_; // by library key
};

// The type-library information service: loads a library from a file or through its
// registration and hands out its properties (TypeLibInfo). Keeps no state between loads.
class TypeLibService {
public:
    // REQUIRES: `registrations` outlives the service.
    explicit TypeLibService(const TypeLibRegistrations& registrations) : registrations_(registrations) {}

    // The library at a Windows path (see LoadTypeLibFromFile); nullopt when it cannot be read.
    std::optional<TypeLibInfo> loadFromFile(const QString& windowsPath, QString* error = nullptr) const;

    // The library registered for `guid` ("{...}", any case), as LoadRegTypeLib finds it: the
    // registered version major.minor, else the highest registered minor above `minor` with the
    // same major (major and minor 0xFFFF ask for the highest version registered); in it, the
    // win32 file of locale `lcid`, else of its primary language, else of locale 0. The library
    // is then read from that file and must have the same major version and at least `minor`.
    // `containingFile` is the registered path. Nullopt when the library is not registered, its
    // file cannot be read, or its version does not fit.
    // `versions`, when given, is the load's index of registered versions (see TypeLibVersionIndex).
    std::optional<TypeLibInfo> loadRegistered(const QString& guid, std::uint16_t major, std::uint16_t minor,
                                              std::uint32_t lcid, QString* error = nullptr,
                                              TypeLibVersionIndex* versions = nullptr) const;

    // The registered file of a library, found as loadRegistered finds it, without reading it;
    // nullopt when there is no registration.
    std::optional<QString> registeredPath(const QString& guid, std::uint16_t major, std::uint16_t minor,
                                          std::uint32_t lcid, TypeLibVersionIndex* versions = nullptr) const;

    // Where registeredPath stops when it finds no file: at the library (no version key of the
    // GUID at all, or no GUID), at the version (no version the rules accept), at the locale, or
    // at the platform (Win64Only: a locale it would take has a win64 key but none has win32, as a
    // prefix made without Wine's 32-bit half registers its libraries).
    enum class Missing { Nothing, Library, Version, Locale, Win64Only };
    Missing missingRegistration(const QString& guid, std::uint16_t major, std::uint16_t minor, std::uint32_t lcid,
                                TypeLibVersionIndex* versions = nullptr) const;

private:
    std::optional<QString> find(const QString& guid, std::uint16_t major, std::uint16_t minor, std::uint32_t lcid,
                                Missing& missing, TypeLibVersionIndex* versions) const;
    static TypeLibVersionIndex::Library indexVersions(const QStringList& names);
    static QString pickVersion(const TypeLibVersionIndex::Library& library, std::uint16_t major, std::uint16_t minor);

    const TypeLibRegistrations& registrations_;
};
