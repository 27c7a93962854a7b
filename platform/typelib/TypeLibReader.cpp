#include "platform/typelib/TypeLibReader.h"

#include "platform/core/AnsiCodePage.h"
#include "platform/files/PathMapper.h"
#include "platform/files/RegularFile.h"
#include "platform/typelib/PeResources.h"

#include <QDir>
#include <algorithm>
#include <array>
#include <string>

namespace {

constexpr std::uint32_t kMsftMagic = 0x5446534d; // "MSFT"
constexpr std::uint32_t kSltgMagic = 0x47544c53; // "SLTG"
constexpr std::uint32_t kHelpDllFlag = 0x100;
constexpr std::uint64_t kHeaderSize = 0x54;
constexpr std::int32_t kSegmentMarker = 0x0f;   // fourth field of the first segment entries

// Offsets in the MSFT header.
constexpr std::size_t kLcidAt = 0x10; // the library's own locale; 0x0c holds the creating locale
constexpr std::size_t kPosGuidAt = 0x08;
constexpr std::size_t kVarFlagsAt = 0x14;
constexpr std::size_t kVersionAt = 0x18;
constexpr std::size_t kTypeInfoCountAt = 0x20;
constexpr std::size_t kHelpStringAt = 0x24;

// Segments of the directory that follows the header and its type-info offsets.
constexpr std::size_t kTypeInfoSegment = 0;
constexpr std::size_t kImportInfoSegment = 1;
constexpr std::size_t kGuidSegment = 5;
constexpr std::size_t kStringSegment = 8;
constexpr std::size_t kSegmentsRead = 9;

std::uint32_t le32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
        | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t les32(const unsigned char* p)
{
    return static_cast<std::int32_t>(le32(p));
}

std::nullopt_t fail(QString* error, const char* why)
{
    if (error)
        *error = QString::fromLatin1(why);
    return std::nullopt;
}

struct Segment {
    std::int32_t offset = 0;
    std::int32_t length = 0;
    std::int32_t marker = 0;
    // True when the segment lies inside the library.
    bool within(const ByteSource& library) const
    {
        return offset >= 0 && length >= 0 && library.contains(std::uint64_t(offset), std::uint64_t(length));
    }
};

QString guidText(const unsigned char* g)
{
    static const char digits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(38);
    text += u'{';
    auto hex = [&](std::uint64_t value, int width) {
        for (int shift = (width - 1) * 4; shift >= 0; shift -= 4)
            text += QLatin1Char(digits[(value >> shift) & 0xf]);
    };
    hex(le32(g), 8);
    text += u'-';
    hex(g[4] | (g[5] << 8), 4);
    text += u'-';
    hex(g[6] | (g[7] << 8), 4);
    text += u'-';
    hex((g[8] << 8) | g[9], 4);
    text += u'-';
    for (int i = 10; i < 16; ++i)
        hex(g[i], 2);
    text += u'}';
    return text;
}

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

// Where the library of a Windows path lies on the host, and which resource it names.
struct Location {
    QString hostPath;
    std::uint16_t resource = 1;
    bool valid = true; // false for a resource number no image can hold
};

QString hostPathOf(const QString& windowsPath)
{
    const PathMapper& mapper = PathMapper::current();
    if (PathMapper::isDrivePath(windowsPath))
        return mapper.toHost(windowsPath);
    if (windowsPath.isEmpty() || windowsPath.startsWith(QStringLiteral("\\\\")) || windowsPath.startsWith(QStringLiteral("//")))
        return QString();
    // Relative to the current folder, or to its drive's root.
    const QString current = mapper.toWindows(QDir::currentPath());
    if (windowsPath[0] == u'\\' || windowsPath[0] == u'/')
        return mapper.toHost(current.left(2) + windowsPath);
    return mapper.toHost(current + u'\\' + windowsPath);
}

QString hostPathSearched(const QString& windowsPath)
{
    QString host = hostPathOf(windowsPath);
    if (IsRegularFile(host))
        return host;
    // A bare file name, as registrations of system libraries sometimes give, is found in the
    // system folder when it is not in the current one.
    if (!windowsPath.contains(u'\\') && !windowsPath.contains(u'/') && !windowsPath.contains(u':')) {
        const QString system = PathMapper::current().toHost(QStringLiteral("C:\\windows\\system32\\") + windowsPath);
        if (IsRegularFile(system))
            return system;
    }
    return host;
}

Location locate(const QString& windowsPath)
{
    const QString whole = hostPathSearched(windowsPath);
    if (IsRegularFile(whole))
        return {whole};
    const qsizetype slash = windowsPath.lastIndexOf(u'\\');
    const QStringView tail = QStringView(windowsPath).mid(slash + 1);
    const bool numbered = slash > 0 && !tail.isEmpty() && tail.size() <= 10
        && std::all_of(tail.begin(), tail.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (!numbered)
        return {whole};
    const qulonglong number = tail.toULongLong();
    Location location{hostPathSearched(windowsPath.left(slash))};
    if (number > 0xffff)
        location.valid = false;
    else
        location.resource = static_cast<std::uint16_t>(number);
    return location;
}

}

std::optional<TypeLibInfo> ReadTypeLibImage(const ByteSource& library, QString* error)
{
    std::array<unsigned char, kHeaderSize> header;
    if (!library.read(0, header.data(), header.size())) {
        const auto magic = library.u32(0);
        return fail(error, magic && *magic == kSltgMagic ? "SLTG type libraries are not read" : "not a type library");
    }
    if (le32(header.data()) != kMsftMagic)
        return fail(error, le32(header.data()) == kSltgMagic ? "SLTG type libraries are not read" : "not a type library");

    const std::int32_t typeInfoCount = les32(header.data() + kTypeInfoCountAt);
    if (typeInfoCount < 0)
        return fail(error, "malformed type library header");
    const bool helpDll = (le32(header.data() + kVarFlagsAt) & kHelpDllFlag) != 0;
    const std::uint64_t directoryAt = kHeaderSize + 4ull * std::uint64_t(typeInfoCount) + (helpDll ? 4 : 0);
    std::array<unsigned char, 16 * kSegmentsRead> directory;
    if (!library.read(directoryAt, directory.data(), directory.size()))
        return fail(error, "truncated type library");
    auto segment = [&](std::size_t index) {
        const unsigned char* p = directory.data() + 16 * index;
        return Segment{les32(p), les32(p + 4), les32(p + 12)};
    };
    if (segment(kTypeInfoSegment).marker != kSegmentMarker || segment(kImportInfoSegment).marker != kSegmentMarker)
        return fail(error, "malformed segment directory");

    TypeLibInfo info;
    info.majorVersion = static_cast<std::uint16_t>(le32(header.data() + kVersionAt) & 0xffff);
    info.minorVersion = static_cast<std::uint16_t>(le32(header.data() + kVersionAt) >> 16);
    info.lcid = le32(header.data() + kLcidAt);

    std::array<unsigned char, 16> guid{};
    const std::int32_t guidAt = les32(header.data() + kPosGuidAt);
    if (guidAt >= 0) {
        const Segment guids = segment(kGuidSegment);
        if (!guids.within(library) || std::int64_t(guidAt) + 16 > guids.length
            || !library.read(std::uint64_t(guids.offset) + std::uint64_t(guidAt), guid.data(), guid.size()))
            return fail(error, "library GUID outside the GUID table");
    }
    info.guid = guidText(guid.data());

    const std::int32_t helpAt = les32(header.data() + kHelpStringAt);
    if (helpAt >= 0) {
        const Segment strings = segment(kStringSegment);
        const std::uint64_t start = std::uint64_t(strings.offset) + std::uint64_t(helpAt);
        if (!strings.within(library) || std::int64_t(helpAt) + 2 > strings.length)
            return fail(error, "help string outside the string table");
        const auto length = library.u16(start);
        const auto bytes = static_cast<std::int16_t>(length.value_or(0));
        if (bytes > 0) {
            if (std::int64_t(helpAt) + 2 + bytes > strings.length)
                return fail(error, "help string outside the string table");
            std::string text(std::size_t(bytes), '\0'); // at most 32767 bytes
            if (!library.read(start + 2, text.data(), text.size()))
                return fail(error, "truncated type library");
            info.helpString = AnsiCodePage::decode(text);
        }
    }
    return info;
}

std::optional<TypeLibInfo> ReadTypeLibFile(const ByteSource& file, std::uint16_t resourceNumber,
                                           QString* error)
{
    if (!StartsLikeExecutableImage(file))
        return ReadTypeLibImage(file, error);
    const auto range = FindPeResource(file, u"TYPELIB", resourceNumber, error);
    if (!range)
        return std::nullopt;
    return ReadTypeLibImage(SubSource(file, range->offset, range->length), error);
}

std::optional<TypeLibInfo> LoadTypeLibFromFile(const QString& windowsPath, QString* error)
{
    const Location location = locate(windowsPath);
    if (!location.valid)
        return fail(error, "no such resource number");
    if (location.hostPath.isEmpty())
        return fail(error, "path outside the prefix's drives");
    const HostFileSource file(location.hostPath);
    if (!file.isOpen()) {
        if (error)
            *error = file.error();
        return std::nullopt;
    }
    auto info = ReadTypeLibFile(file, location.resource, error);
    if (info) {
        info->containingFile = windowsPath;
        info->fileRead = PathMapper::current().toWindows(location.hostPath);
    }
    return info;
}

std::optional<QString> NormalizedGuidText(const QString& text)
{
    // {8-4-4-4-12}
    if (text.size() != 38 || text[0] != u'{' || text[37] != u'}')
        return std::nullopt;
    for (qsizetype i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != u'-' : !isHexDigit(text[i]))
            return std::nullopt;
    }
    return text.toUpper();
}
