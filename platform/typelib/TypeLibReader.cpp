#include "platform/typelib/TypeLibReader.h"

#include "platform/core/AnsiCodePage.h"
#include "platform/files/PathMapper.h"
#include "platform/files/RegularFile.h"
#include "platform/typelib/PeResources.h"

#include <QDir>
#include <algorithm>
#include <array>
#include <utility>
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
constexpr std::size_t kLibFlagsAt = 0x1c;
constexpr std::size_t kLibNameAt = 0x38;
// A type info's fixed part, and the fields of it the classes are read from.
constexpr std::size_t kTypeInfoSize = 0x64;
constexpr std::uint32_t kInterfaceKind = 3; // TKIND_INTERFACE, in the low bits of the first field
constexpr std::uint32_t kDispatchKind = 4;  // TKIND_DISPATCH
constexpr std::uint32_t kCoClassKind = 5;   // TKIND_COCLASS
constexpr std::size_t kTypeInfoGuidAt = 0x2c;
constexpr std::size_t kTypeInfoFlagsAt = 0x30;
constexpr std::size_t kTypeInfoNameAt = 0x34;

// Segments of the directory that follows the header and its type-info offsets.
constexpr std::size_t kTypeInfoSegment = 0;
constexpr std::size_t kImportInfoSegment = 1;
constexpr std::size_t kGuidSegment = 5;
constexpr std::size_t kNameSegment = 7;
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

namespace {

// The header and the segment directory of an MSFT library, checked.
struct MsftLayout {
    std::array<unsigned char, kHeaderSize> header;
    std::array<unsigned char, 16 * kSegmentsRead> directory;
    std::int32_t typeInfoCount = 0;

    Segment segment(std::size_t index) const
    {
        const unsigned char* p = directory.data() + 16 * index;
        return Segment{les32(p), les32(p + 4), les32(p + 12)};
    }
};

std::optional<MsftLayout> readLayout(const ByteSource& library, QString* error)
{
    MsftLayout layout;
    std::array<unsigned char, kHeaderSize>& header = layout.header;
    if (!library.read(0, header.data(), header.size())) {
        const auto magic = library.u32(0);
        return fail(error, magic && *magic == kSltgMagic ? "SLTG type libraries are not read" : "not a type library");
    }
    if (le32(header.data()) != kMsftMagic)
        return fail(error, le32(header.data()) == kSltgMagic ? "SLTG type libraries are not read" : "not a type library");

    layout.typeInfoCount = les32(header.data() + kTypeInfoCountAt);
    if (layout.typeInfoCount < 0)
        return fail(error, "malformed type library header");
    const bool helpDll = (le32(header.data() + kVarFlagsAt) & kHelpDllFlag) != 0;
    const std::uint64_t directoryAt = kHeaderSize + 4ull * std::uint64_t(layout.typeInfoCount) + (helpDll ? 4 : 0);
    if (!library.read(directoryAt, layout.directory.data(), layout.directory.size()))
        return fail(error, "truncated type library");
    if (layout.segment(kTypeInfoSegment).marker != kSegmentMarker || layout.segment(kImportInfoSegment).marker != kSegmentMarker)
        return fail(error, "malformed segment directory");
    return layout;
}

// The GUID at `at` in the GUID table; nothing when it lies outside.
std::optional<QString> guidAt(const ByteSource& library, const MsftLayout& layout, std::int32_t at)
{
    std::array<unsigned char, 16> guid{};
    const Segment guids = layout.segment(kGuidSegment);
    if (at < 0 || !guids.within(library) || std::int64_t(at) + 16 > guids.length
        || !library.read(std::uint64_t(guids.offset) + std::uint64_t(at), guid.data(), guid.size()))
        return std::nullopt;
    return guidText(guid.data());
}

// The name at `at` in the name table (a 12-byte entry whose ninth byte is the name's length, then
// its ANSI bytes); nothing when it lies outside.
std::optional<QString> nameAt(const ByteSource& library, const MsftLayout& layout, std::int32_t at)
{
    const Segment names = layout.segment(kNameSegment);
    if (at < 0 || !names.within(library) || std::int64_t(at) + 12 > names.length)
        return std::nullopt;
    const auto length = library.u16(std::uint64_t(names.offset) + std::uint64_t(at) + 8);
    const std::size_t bytes = length ? (*length & 0xff) : 0;
    if (!length || std::int64_t(at) + 12 + std::int64_t(bytes) > names.length)
        return std::nullopt;
    std::string text(bytes, '\0');
    if (!library.read(std::uint64_t(names.offset) + std::uint64_t(at) + 12, text.data(), text.size()))
        return std::nullopt;
    return AnsiCodePage::decode(text);
}

}

std::optional<TypeLibInfo> ReadTypeLibImage(const ByteSource& library, QString* error)
{
    const std::optional<MsftLayout> layout = readLayout(library, error);
    if (!layout)
        return std::nullopt;
    const std::array<unsigned char, kHeaderSize>& header = layout->header;
    const auto segment = [&](std::size_t index) { return layout->segment(index); };

    TypeLibInfo info;
    info.majorVersion = static_cast<std::uint16_t>(le32(header.data() + kVersionAt) & 0xffff);
    info.minorVersion = static_cast<std::uint16_t>(le32(header.data() + kVersionAt) >> 16);
    info.lcid = le32(header.data() + kLcidAt);

    // A library without a GUID (its position -1) has the null one.
    const std::int32_t libraryGuidAt = les32(header.data() + kPosGuidAt);
    if (libraryGuidAt >= 0) {
        const std::optional<QString> guid = guidAt(library, *layout, libraryGuidAt);
        if (!guid)
            return fail(error, "library GUID outside the GUID table");
        info.guid = *guid;
    } else {
        info.guid = QStringLiteral("{00000000-0000-0000-0000-000000000000}");
    }

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

namespace {

// `readImage` over the library a file holds: an executable image's TYPELIB resource
// `resourceNumber`, any other file itself.
template <typename ReadImage>
auto readLibraryOfFile(const ByteSource& file, std::uint16_t resourceNumber, QString* error, ReadImage readImage)
    -> decltype(readImage(file, error))
{
    if (!StartsLikeExecutableImage(file))
        return readImage(file, error);
    const auto range = FindPeResource(file, u"TYPELIB", resourceNumber, error);
    if (!range)
        return std::nullopt;
    return readImage(SubSource(file, range->offset, range->length), error);
}

// `readFile(file, resource, hostPath)` over the file a Windows path names, opened as
// LoadTypeLib opens it; the reason when it cannot be.
template <typename ReadFile>
auto readLibraryAtPath(const QString& windowsPath, QString* error, ReadFile readFile)
    -> decltype(readFile(std::declval<const ByteSource&>(), std::uint16_t(1), QString()))
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
    return readFile(file, location.resource, location.hostPath);
}

}

std::optional<TypeLibInfo> ReadTypeLibFile(const ByteSource& file, std::uint16_t resourceNumber,
                                           QString* error)
{
    return readLibraryOfFile(file, resourceNumber, error,
                             [](const ByteSource& library, QString* e) { return ReadTypeLibImage(library, e); });
}

std::optional<LibraryClasses> ReadTypeLibClasses(const ByteSource& library, QString* error)
{
    const std::optional<TypeLibInfo> info = ReadTypeLibImage(library, error);
    if (!info)
        return std::nullopt;
    const std::optional<MsftLayout> layout = readLayout(library, error);
    LibraryClasses classes;
    classes.guid = info->guid;
    classes.majorVersion = info->majorVersion;
    classes.minorVersion = info->minorVersion;
    classes.flags = le32(layout->header.data() + kLibFlagsAt) & 0xffff;
    classes.name = nameAt(library, *layout, les32(layout->header.data() + kLibNameAt)).value_or(QString());

    // The type infos lie one after another at the start of their segment, as many as the
    // header counts and the segment holds.
    // A table outside the library holds no class that can be read.
    const Segment infos = layout->segment(kTypeInfoSegment);
    if (!infos.within(library))
        return classes;
    const std::int64_t count = std::min<std::int64_t>(layout->typeInfoCount, infos.length / kTypeInfoSize);
    for (std::int64_t i = 0; i < count; ++i) {
        std::array<unsigned char, kTypeInfoSize> typeInfo;
        if (!library.read(std::uint64_t(infos.offset) + std::uint64_t(i) * kTypeInfoSize, typeInfo.data(), typeInfo.size()))
            break;
        const std::uint32_t kind = le32(typeInfo.data()) & 0xf;
        if (kind != kCoClassKind && kind != kInterfaceKind && kind != kDispatchKind)
            continue;
        const std::optional<QString> clsid = guidAt(library, *layout, les32(typeInfo.data() + kTypeInfoGuidAt));
        if (!clsid)
            continue; // a type without its identity cannot be named anywhere
        if (kind != kCoClassKind) {
            if (classes.interfaces.size() < kMaxLibraryClasses)
                classes.interfaces.push_back(
                    {*clsid, nameAt(library, *layout, les32(typeInfo.data() + kTypeInfoNameAt)).value_or(QString()),
                     le32(typeInfo.data() + kTypeInfoFlagsAt), kind == kDispatchKind});
            continue;
        }
        if (classes.classes.size() >= kMaxLibraryClasses) {
            classes.cut = true;
            break;
        }
        LibraryClass libraryClass;
        libraryClass.clsid = *clsid;
        libraryClass.flags = le32(typeInfo.data() + kTypeInfoFlagsAt);
        libraryClass.name = nameAt(library, *layout, les32(typeInfo.data() + kTypeInfoNameAt)).value_or(QString());
        classes.classes.push_back(std::move(libraryClass));
    }
    return classes;
}

std::optional<LibraryClasses> ReadTypeLibFileClasses(const ByteSource& file, std::uint16_t resourceNumber, QString* error)
{
    return readLibraryOfFile(file, resourceNumber, error,
                             [](const ByteSource& library, QString* e) { return ReadTypeLibClasses(library, e); });
}

std::optional<LibraryClasses> LoadTypeLibClasses(const QString& windowsPath, QString* error)
{
    return readLibraryAtPath(windowsPath, error, [error](const ByteSource& file, std::uint16_t resource, const QString&) {
        return ReadTypeLibFileClasses(file, resource, error);
    });
}

std::optional<TypeLibInfo> LoadTypeLibFromFile(const QString& windowsPath, QString* error)
{
    return readLibraryAtPath(windowsPath, error, [&](const ByteSource& file, std::uint16_t resource, const QString& hostPath) {
        auto info = ReadTypeLibFile(file, resource, error);
        if (info) {
            info->containingFile = windowsPath;
            info->fileRead = PathMapper::current().toWindows(hostPath);
        }
        return info;
    });
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
