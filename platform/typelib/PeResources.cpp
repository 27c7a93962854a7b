#include "platform/typelib/PeResources.h"

#include <array>
#include <vector>

namespace {

constexpr std::uint16_t kPe32Magic = 0x10b;
constexpr std::uint16_t kPe32PlusMagic = 0x20b;
constexpr std::uint32_t kResourceDirectory = 2;  // index in the optional header's data directories
constexpr std::uint16_t kMaxSections = 96;       // the limit the Windows loader documents
constexpr std::uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr std::uint32_t kNamedFlag = 0x80000000u;
constexpr std::size_t kEntryBatch = 64;          // directory entries read per call
constexpr std::uint16_t kSectionBatch = 16;      // section headers read per call

// Offsets in the DOS header.
constexpr std::uint64_t kPeHeaderOffsetAt = 0x3c; // where the "PE\0\0" signature is

// The signature and the file header that follows it.
constexpr std::uint64_t kSignatureSize = 4;
constexpr std::uint64_t kFileHeaderSize = 20;
constexpr std::uint64_t kSectionCountAt = 2;      // in the file header
constexpr std::uint64_t kOptionalHeaderSizeAt = 16;

// Offsets in the optional header, which starts with its magic; PE32+ has wider fields before
// the data directories.
constexpr std::uint64_t kDirectoryCountAt32 = 92;
constexpr std::uint64_t kDirectoryCountAt64 = 108;
constexpr std::uint64_t kDirectoriesAt32 = 96;
constexpr std::uint64_t kDirectoriesAt64 = 112;
constexpr std::uint64_t kDirectorySize = 8;       // a data directory: RVA, then size

// A section header and its fields.
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::size_t kSectionVirtualSizeAt = 8;
constexpr std::size_t kSectionVirtualAddressAt = 12;
constexpr std::size_t kSectionRawSizeAt = 16;
constexpr std::size_t kSectionRawOffsetAt = 20;

// A resource directory: its counts of named and numbered entries, then the entries, each an
// id or name followed by the offset of what it leads to.
constexpr std::uint64_t kNamedEntryCountAt = 12;
constexpr std::uint64_t kIdEntryCountAt = 14;
constexpr std::uint64_t kEntriesAt = 16;
constexpr std::uint64_t kEntrySize = 8;
constexpr std::size_t kEntryTargetAt = 4;

// A resource data entry: the data's RVA, then its size.
constexpr std::uint64_t kDataSizeAt = 4;

// A resource name: its length in UTF-16 units, then the units.
constexpr std::uint64_t kNameCharsAt = 2;

struct Section {
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawOffset = 0;
};

struct Failure {
    QString* error;
    std::nullopt_t operator()(const char* why) const
    {
        if (error)
            *error = QString::fromLatin1(why);
        return std::nullopt;
    }
};

std::uint32_t le32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
        | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The image's section table and the mapping of relative virtual addresses to file offsets.
class ImageLayout {
public:
    // Reads the headers; false when the source is not a PE32 or PE32+ image.
    bool load(const ByteSource& image, const Failure& fail)
    {
        const auto peOffset = image.u32(kPeHeaderOffsetAt);
        if (!peOffset || !image.contains(*peOffset, kSignatureSize + kFileHeaderSize)) {
            fail("not a PE image");
            return false;
        }
        unsigned char signature[4];
        if (!image.read(*peOffset, signature, 4) || signature[0] != 'P' || signature[1] != 'E' || signature[2] != 0
            || signature[3] != 0) {
            fail("not a PE image");
            return false;
        }
        const std::uint64_t fileHeader = std::uint64_t(*peOffset) + kSignatureSize;
        const auto sectionCount = image.u16(fileHeader + kSectionCountAt);
        const auto optionalSize = image.u16(fileHeader + kOptionalHeaderSizeAt);
        const std::uint64_t optional = fileHeader + kFileHeaderSize;
        const auto magic = image.u16(optional);
        if (!sectionCount || !optionalSize || !magic || (*magic != kPe32Magic && *magic != kPe32PlusMagic)) {
            fail("not a PE32 or PE32+ image");
            return false;
        }
        const bool plus = *magic == kPe32PlusMagic;
        const std::uint64_t directoryCountAt = optional + (plus ? kDirectoryCountAt64 : kDirectoryCountAt32);
        const std::uint64_t directories = optional + (plus ? kDirectoriesAt64 : kDirectoriesAt32);
        const auto directoryCount = image.u32(directoryCountAt);
        const std::uint64_t resourceEntry = directories + kDirectorySize * kResourceDirectory;
        if (!directoryCount || *directoryCount <= kResourceDirectory
            || resourceEntry + kDirectorySize > optional + *optionalSize) {
            resourceRva_ = 0;
        } else {
            const auto rva = image.u32(resourceEntry);
            if (!rva) {
                fail("truncated PE headers");
                return false;
            }
            resourceRva_ = *rva;
        }
        if (*sectionCount > kMaxSections) {
            fail("too many sections");
            return false;
        }
        const std::uint64_t table = optional + *optionalSize;
        std::array<unsigned char, kSectionHeaderSize * kSectionBatch> batch;
        for (std::uint16_t first = 0; first < *sectionCount; first += kSectionBatch) {
            const std::uint16_t count = std::min<std::uint16_t>(kSectionBatch, *sectionCount - first);
            if (!image.read(table + kSectionHeaderSize * first, batch.data(), kSectionHeaderSize * count)) {
                fail("truncated section table");
                return false;
            }
            for (std::uint16_t i = 0; i < count; ++i) {
                const unsigned char* s = batch.data() + kSectionHeaderSize * i;
                sections_.push_back({le32(s + kSectionVirtualAddressAt), le32(s + kSectionVirtualSizeAt),
                                     le32(s + kSectionRawSizeAt), le32(s + kSectionRawOffsetAt)});
            }
        }
        return true;
    }

    std::uint32_t resourceRva() const { return resourceRva_; }

    // File range of `length` bytes at `rva`, when they lie in one section's data in the file.
    std::optional<ByteRange> toFile(std::uint32_t rva, std::uint64_t length) const
    {
        for (const Section& s : sections_) {
            const std::uint64_t extent = s.virtualSize ? s.virtualSize : s.rawSize;
            if (rva < s.virtualAddress || rva - s.virtualAddress >= extent)
                continue;
            const std::uint64_t delta = rva - s.virtualAddress;
            if (delta + length > s.rawSize)
                return std::nullopt; // in the section, but not in its bytes on disk
            return ByteRange{s.rawOffset + delta, length};
        }
        return std::nullopt;
    }

    // The file bytes of the section holding `rva`, from `rva` to the end of its data on disk.
    std::optional<ByteRange> restOfSection(std::uint32_t rva) const
    {
        for (const Section& s : sections_) {
            const std::uint64_t extent = s.virtualSize ? s.virtualSize : s.rawSize;
            if (rva < s.virtualAddress || rva - s.virtualAddress >= extent)
                continue;
            const std::uint64_t delta = rva - s.virtualAddress;
            if (delta >= s.rawSize)
                return std::nullopt;
            return ByteRange{s.rawOffset + delta, s.rawSize - delta};
        }
        return std::nullopt;
    }

private:
    std::vector<Section> sections_;
    std::uint32_t resourceRva_ = 0;
};

struct DirectoryEntry {
    std::uint32_t name = 0;   // an id, or kNamedFlag | offset of the name
    std::uint32_t target = 0; // kSubdirectoryFlag | offset of a directory, or offset of a data entry
    bool named() const { return (name & kNamedFlag) != 0; }
    bool subdirectory() const { return (target & kSubdirectoryFlag) != 0; }
    std::uint32_t targetOffset() const { return target & ~kSubdirectoryFlag; }
};

// Visits the entries of the resource directory at `offset` of `tree`, in order, until `visit`
// returns true; returns the entry it stopped at.
template <typename Visit>
std::optional<DirectoryEntry> findEntry(const ByteSource& tree, std::uint32_t offset, Visit visit)
{
    const auto named = tree.u16(std::uint64_t(offset) + kNamedEntryCountAt);
    const auto ids = tree.u16(std::uint64_t(offset) + kIdEntryCountAt);
    if (!named || !ids)
        return std::nullopt;
    const std::size_t total = std::size_t(*named) + *ids;
    std::array<unsigned char, kEntrySize * kEntryBatch> batch;
    for (std::size_t first = 0; first < total; first += kEntryBatch) {
        const std::size_t count = std::min(kEntryBatch, total - first);
        if (!tree.read(std::uint64_t(offset) + kEntriesAt + kEntrySize * first, batch.data(), kEntrySize * count))
            return std::nullopt;
        for (std::size_t i = 0; i < count; ++i) {
            const unsigned char* e = batch.data() + kEntrySize * i;
            const DirectoryEntry entry{le32(e), le32(e + kEntryTargetAt)};
            if (visit(entry))
                return entry;
        }
    }
    return std::nullopt;
}

// True when the directory string at `offset` of `tree` equals `name`, ignoring ASCII case.
bool nameEquals(const ByteSource& tree, std::uint32_t offset, QStringView name)
{
    const auto length = tree.u16(offset);
    if (!length || *length != name.size() || name.size() > 64)
        return false;
    std::array<unsigned char, 128> chars;
    if (!tree.read(std::uint64_t(offset) + kNameCharsAt, chars.data(), 2 * std::size_t(*length)))
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = char16_t(chars[2 * i] | (chars[2 * i + 1] << 8));
        if (QChar(c).toUpper() != name[i].toUpper())
            return false;
    }
    return true;
}

}

bool StartsLikeExecutableImage(const ByteSource& source)
{
    unsigned char magic[2];
    return source.read(0, magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}

std::optional<ByteRange> FindPeResource(const ByteSource& image, QStringView typeName,
                                        std::uint16_t id, QString* error)
{
    const Failure fail{error};
    if (!StartsLikeExecutableImage(image))
        return fail("not a PE image");
    ImageLayout layout;
    if (!layout.load(image, fail))
        return std::nullopt;
    if (layout.resourceRva() == 0)
        return fail("no resources");
    // Every offset in the resource tree is relative to its start and stays in its section.
    const auto treeRange = layout.restOfSection(layout.resourceRva());
    if (!treeRange)
        return fail("resource directory outside the file");
    const SubSource tree(image, treeRange->offset, treeRange->length);

    const auto type = findEntry(tree, 0, [&](const DirectoryEntry& e) {
        return e.named() && nameEquals(tree, e.name & ~kNamedFlag, typeName);
    });
    if (!type || !type->subdirectory())
        return fail("no resource of that type");

    const auto resource = findEntry(tree, type->targetOffset(),
                                    [&](const DirectoryEntry& e) { return !e.named() && e.name == id; });
    if (!resource || !resource->subdirectory())
        return fail("no resource with that number");

    auto language = findEntry(tree, resource->targetOffset(), [](const DirectoryEntry& e) { return !e.named() && e.name == 0; });
    if (!language)
        language = findEntry(tree, resource->targetOffset(), [](const DirectoryEntry&) { return true; });
    // The third level holds data entries; a deeper directory is malformed (and could loop).
    if (!language || language->subdirectory())
        return fail("malformed resource directory");

    const auto dataRva = tree.u32(language->targetOffset());
    const auto dataSize = tree.u32(std::uint64_t(language->targetOffset()) + kDataSizeAt);
    if (!dataRva || !dataSize)
        return fail("malformed resource directory");
    const auto data = layout.toFile(*dataRva, *dataSize);
    if (!data || !image.contains(data->offset, data->length))
        return fail("resource data outside the file");
    return data;
}
