#include "platform/typelib/PeResources.h"

#include <array>

namespace {

constexpr std::uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr std::uint32_t kNamedFlag = 0x80000000u;
constexpr std::size_t kEntryBatch = 64; // directory entries read per call

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

std::optional<ByteRange> FindPeResource(const ByteSource& image, QStringView typeName,
                                        std::uint16_t id, QString* error)
{
    const Failure fail{error};
    const auto layout = PeImage::read(image, error);
    if (!layout)
        return std::nullopt;
    const std::uint32_t resourceRva = layout->directory(PeImage::kResourceDirectory).rva;
    if (resourceRva == 0)
        return fail("no resources");
    // Every offset in the resource tree is relative to its start and stays in its section.
    const auto treeRange = layout->restOfSection(resourceRva);
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
    const auto data = layout->toFile(*dataRva, *dataSize);
    if (!data || !image.contains(data->offset, data->length))
        return fail("resource data outside the file");
    return data;
}
