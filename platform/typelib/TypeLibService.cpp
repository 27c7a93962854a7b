#include "platform/typelib/TypeLibService.h"

#include "platform/files/PathMapper.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::uint16_t kAnyVersion = 0xffff;

// One field of a version key name, read as the C library reads "%x": blanks, an optional
// sign, an optional 0x, then hex digits. Advances `at`; nullopt when there are no digits or
// the value does not fit a version number.
std::optional<std::uint16_t> hexField(const QString& text, qsizetype& at)
{
    while (at < text.size() && (text[at] == u' ' || text[at] == u'\t'))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-'))
        negative = text[at++] == u'-';
    if (at + 1 < text.size() && text[at] == u'0' && (text[at + 1] == u'x' || text[at + 1] == u'X'))
        at += 2;
    std::uint64_t value = 0;
    qsizetype digits = 0;
    for (; at < text.size(); ++at, ++digits) {
        const char16_t c = text[at].unicode();
        int d;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        else
            break;
        value = std::min<std::uint64_t>(value * 16 + std::uint64_t(d), std::numeric_limits<std::uint32_t>::max());
    }
    if (digits == 0 || (negative && value != 0) || value > 0xffff)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

struct Version {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
};

// The version a key name such as "1.0" or "2.a" stands for; registrations write them in hex.
// Anything after the minor field is ignored, as the system does.
std::optional<Version> versionOfKey(const QString& name)
{
    qsizetype at = 0;
    const auto major = hexField(name, at);
    if (!major || at >= name.size() || name[at] != u'.')
        return std::nullopt;
    ++at;
    const auto minor = hexField(name, at);
    if (!minor)
        return std::nullopt;
    return Version{*major, *minor};
}

QString hex(std::uint32_t value)
{
    return QString::number(value, 16);
}

}

TypeLibVersionIndex::Library TypeLibService::indexVersions(const QStringList& names)
{
    TypeLibVersionIndex::Library library;
    for (const QString& name : names)
        if (const auto version = versionOfKey(name))
            library[version->major].push_back({version->minor, name});
    for (auto& [major, entries] : library)
        std::stable_sort(entries.begin(), entries.end(),
                         [](const auto& a, const auto& b) { return a.minor < b.minor; });
    return library;
}

// The registered version that stands for major.minor, as the system chooses it: the first key
// of the highest version when any version will do (both 0xFFFF); else the version asked for (the
// key spelt as the system writes it first, else the first in registry order), else the first key
// of the highest minor above it with the same major. A null string when none fits.
QString TypeLibService::pickVersion(const TypeLibVersionIndex::Library& library, std::uint16_t major,
                                    std::uint16_t minor)
{
    using Entries = std::vector<TypeLibVersionIndex::Entry>;
    auto byMinor = [](const TypeLibVersionIndex::Entry& e, std::uint16_t m) { return e.minor < m; };
    auto firstOfHighest = [&](const Entries& entries) {
        return std::lower_bound(entries.begin(), entries.end(), entries.back().minor, byMinor)->name;
    };
    if (major == kAnyVersion && minor == kAnyVersion)
        return library.empty() ? QString() : firstOfHighest(library.rbegin()->second);
    const auto it = library.find(major);
    if (it == library.end())
        return QString();
    const Entries& entries = it->second;
    auto from = std::lower_bound(entries.begin(), entries.end(), minor, byMinor);
    if (from == entries.end())
        return QString();
    if (from->minor != minor)
        return firstOfHighest(entries);
    const QString exactName = hex(major) + u'.' + hex(minor);
    for (auto e = from; e != entries.end() && e->minor == minor; ++e)
        if (e->name.compare(exactName, Qt::CaseInsensitive) == 0)
            return e->name;
    return from->name;
}

std::optional<QString> TypeLibService::registeredPath(const QString& guid, std::uint16_t major, std::uint16_t minor,
                                                      std::uint32_t lcid, TypeLibVersionIndex* versions) const
{
    Missing missing;
    return find(guid, major, minor, lcid, missing, versions);
}

TypeLibService::Missing TypeLibService::missingRegistration(const QString& guid, std::uint16_t major,
                                                            std::uint16_t minor, std::uint32_t lcid,
                                                            TypeLibVersionIndex* versions) const
{
    Missing missing = Missing::Nothing;
    find(guid, major, minor, lcid, missing, versions);
    return missing;
}

std::optional<QString> TypeLibService::find(const QString& guid, std::uint16_t major, std::uint16_t minor,
                                            std::uint32_t lcid, Missing& missing, TypeLibVersionIndex* versions) const
{
    missing = Missing::Library;
    const auto normalized = NormalizedGuidText(guid);
    if (!normalized)
        return std::nullopt;
    const QString libraryKey = QStringLiteral("TypeLib\\") + *normalized;

    // The version key: the one asked for, else the same major with the highest minor above it.
    // Without the load's index, the library's versions are indexed for this call alone.
    TypeLibVersionIndex::Library unshared;
    const TypeLibVersionIndex::Library* library = &unshared;
    if (versions) {
        auto it = versions->libraries_.find(libraryKey);
        if (it == versions->libraries_.end())
            it = versions->libraries_.insert(libraryKey, indexVersions(registrations_.subkeys(libraryKey)));
        library = &*it;
    } else {
        unshared = indexVersions(registrations_.subkeys(libraryKey));
    }
    if (library->empty())
        return std::nullopt;
    missing = Missing::Version;
    const QString bestName = pickVersion(*library, major, minor);
    if (bestName.isNull())
        return std::nullopt;

    // The locale: the one asked for, then its primary language, then neutral.
    missing = Missing::Locale;
    const QString versionKey = libraryKey + u'\\' + bestName + u'\\';
    std::uint32_t locales[3] = {lcid, lcid & 0x3ffu, 0};
    const int count = lcid == 0 ? 1 : 3;
    // A 64-bit program takes a locale's win64 file, else its win32 one, as Windows does.
    const bool program64Bit = PathMapper::program64Bit();
    for (int i = 0; i < count; ++i) {
        if (i > 0 && locales[i] == locales[i - 1])
            continue;
        for (const char* platform : {"win64", "win32"}) {
            if (!program64Bit && platform == std::string_view("win64"))
                continue;
            const auto path = registrations_.defaultValue(versionKey + hex(locales[i]) + u'\\' + QLatin1String(platform));
            if (path) {
                missing = Missing::Nothing;
                return path;
            }
        }
    }
    // A 32-bit program takes no win64 file; such a registration only says why nothing was found.
    for (int i = 0; i < count; ++i) {
        if (registrations_.defaultValue(versionKey + hex(locales[i]) + QStringLiteral("\\win64"))) {
            missing = Missing::Win64Only;
            break;
        }
    }
    return std::nullopt;
}

std::optional<TypeLibInfo> TypeLibService::loadFromFile(const QString& windowsPath, QString* error) const
{
    return LoadTypeLibFromFile(windowsPath, error);
}

std::optional<TypeLibInfo> TypeLibService::loadRegistered(const QString& guid, std::uint16_t major,
                                                          std::uint16_t minor, std::uint32_t lcid, QString* error,
                                                          TypeLibVersionIndex* versions) const
{
    const auto path = registeredPath(guid, major, minor, lcid, versions);
    if (!path) {
        if (error)
            *error = QStringLiteral("library not registered");
        return std::nullopt;
    }
    auto info = LoadTypeLibFromFile(*path, error);
    if (!info)
        return std::nullopt;
    // A registration whose file holds another version does not count.
    if (!(major == kAnyVersion && minor == kAnyVersion) && (info->majorVersion != major || info->minorVersion < minor)) {
        if (error)
            *error = QStringLiteral("registered file holds another version");
        return std::nullopt;
    }
    return info;
}
