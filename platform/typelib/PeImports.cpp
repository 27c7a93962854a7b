#include "platform/typelib/PeImports.h"

#include "platform/typelib/PeImage.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr std::uint16_t kMachineI386 = 0x14c;
constexpr std::uint16_t kMachineAmd64 = 0x8664;
constexpr std::uint16_t kFileIsDll = 0x2000;

// Wine's mark of its own DLLs, zero byte included, right after the DOS header.
constexpr std::uint64_t kWineMarkAt = 0x40;
constexpr char kWineBuiltin[] = "Wine builtin DLL";
constexpr char kWinePlaceholder[] = "Wine placeholder DLL";

// The descriptors of a directory: their size, where each holds the RVA of the DLL's name and of
// its address table and, for delay loads, the attributes and the name table.
struct DescriptorShape {
    const char* what;
    unsigned directory;
    std::uint32_t size;
    std::uint32_t nameAt;
    std::uint32_t addressTableAt;
    bool delayLoad;
};
// IMAGE_IMPORT_DESCRIPTOR: original thunks, time stamp, forwarder chain, name, first thunk.
constexpr DescriptorShape kImports{"import directory", PeImage::kImportDirectory, 20, 12, 16, false};
// ImgDelayDescr: attributes, name, module handle, address table, name table, bound and unload
// tables, time stamp.
constexpr DescriptorShape kDelayImports{"delay-load directory", PeImage::kDelayImportDirectory, 32, 4, 12, true};
constexpr std::uint32_t kDelayAttributesAt = 0;
constexpr std::uint32_t kDelayNameTableAt = 16;
constexpr std::uint32_t kDelayRvaAttribute = 1; // clear in the old style, which holds addresses
constexpr std::uint32_t kLargestDescriptor = 32;

std::uint32_t le32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
        | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool startsWithMark(const ByteSource& image, const char* mark, std::size_t size)
{
    std::array<char, 32> bytes;
    return size <= bytes.size() && image.read(kWineMarkAt, bytes.data(), size) && std::memcmp(bytes.data(), mark, size) == 0;
}

// The DLL name at `rva`: printable ASCII ended by a zero byte within its section's bytes in the
// file, at most kMaxImportNameLength characters. Otherwise nullopt, and `why` says what is wrong.
std::optional<QString> readName(const ByteSource& image, const PeImage& layout, std::uint32_t rva, const char** why)
{
    std::array<char, kMaxImportNameLength + 1> bytes;
    const auto rest = layout.restOfSection(rva);
    if (!rest || rest->offset >= image.size()) {
        *why = "lies outside the file";
        return std::nullopt;
    }
    const std::size_t length = std::size_t(std::min<std::uint64_t>({rest->length, image.size() - rest->offset, bytes.size()}));
    if (!image.read(rest->offset, bytes.data(), length)) {
        *why = "could not be read";
        return std::nullopt;
    }
    const auto end = std::find(bytes.begin(), bytes.begin() + length, '\0');
    if (end == bytes.begin() + length) {
        *why = length == bytes.size() ? "is longer than 255 characters" : "has no end before its section or the file ends";
        return std::nullopt;
    }
    if (end == bytes.begin()) {
        *why = "is empty";
        return std::nullopt;
    }
    if (!std::all_of(bytes.begin(), end, [](char c) { return c >= 0x20 && c < 0x7f; })) {
        *why = "is not ASCII text";
        return std::nullopt;
    }
    return QString::fromLatin1(bytes.data(), end - bytes.begin());
}

// Appends to `names` the DLL names of the directory `shape` describes, in order, up to the
// descriptor that ends it; what cannot be read goes to `problems`.
void readDirectory(const ByteSource& image, const PeImage& layout, const DescriptorShape& shape, QStringList* names,
                   QStringList* problems)
{
    const std::uint32_t start = layout.directory(shape.directory).rva;
    if (start == 0)
        return;
    const QString what = QString::fromLatin1(shape.what);
    std::array<unsigned char, kLargestDescriptor> d;
    for (int i = 0;; ++i) {
        if (i == kMaxImportDescriptors) {
            problems->append(QStringLiteral("%1: more than %2 descriptors; the rest were not read").arg(what).arg(i));
            return;
        }
        const std::uint64_t rva = start + std::uint64_t(i) * shape.size;
        const auto at = rva + shape.size <= 0x100000000u ? layout.toFile(std::uint32_t(rva), shape.size) : std::nullopt;
        if (!at || !image.read(at->offset, d.data(), shape.size)) {
            problems->append(QStringLiteral("%1: descriptor %2 lies outside the file; the rest were not read")
                                 .arg(what).arg(i + 1));
            return;
        }
        std::uint64_t nameAddress = le32(&d[shape.nameAt]);
        const bool ends = nameAddress == 0 || le32(&d[shape.addressTableAt]) == 0
            || (shape.delayLoad && le32(&d[kDelayNameTableAt]) == 0);
        if (ends)
            return;
        if (shape.delayLoad && (le32(&d[kDelayAttributesAt]) & kDelayRvaAttribute) == 0)
            nameAddress -= layout.imageBase(); // wraps past 32 bits when below the image
        const char* why = "lies outside the image";
        const auto name = nameAddress <= 0xffffffffu ? readName(image, layout, std::uint32_t(nameAddress), &why)
                                                     : std::nullopt;
        if (name)
            names->append(*name);
        else
            problems->append(QStringLiteral("%1: the name of descriptor %2 %3; left out").arg(what).arg(i + 1)
                                 .arg(QLatin1String(why)));
    }
}

}

std::optional<PeImports> ReadPeImports(const ByteSource& image, QString* error)
{
    const auto layout = PeImage::read(image, error);
    if (!layout)
        return std::nullopt;
    PeImports result;
    result.machine = layout->machine() == kMachineI386    ? PeImports::Machine::I386
                   : layout->machine() == kMachineAmd64 ? PeImports::Machine::Amd64
                                                        : PeImports::Machine::Other;
    result.dll = (layout->characteristics() & kFileIsDll) != 0;
    result.wineBuiltin = startsWithMark(image, kWineBuiltin, sizeof kWineBuiltin)
        || startsWithMark(image, kWinePlaceholder, sizeof kWinePlaceholder);
    readDirectory(image, *layout, kImports, &result.imports, &result.problems);
    readDirectory(image, *layout, kDelayImports, &result.delayImports, &result.problems);
    return result;
}
