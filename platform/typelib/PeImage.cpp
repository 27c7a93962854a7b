#include "platform/typelib/PeImage.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::uint16_t kPe32Magic = 0x10b;
constexpr std::uint16_t kPe32PlusMagic = 0x20b;
constexpr std::uint16_t kMaxSections = 96;  // the limit the Windows loader documents
constexpr std::uint16_t kSectionBatch = 16; // section headers read per call

// Offsets in the DOS header.
constexpr std::uint64_t kPeHeaderOffsetAt = 0x3c; // where the "PE\0\0" signature is

// The signature and the file header that follows it.
constexpr std::uint64_t kSignatureSize = 4;
constexpr std::uint64_t kFileHeaderSize = 20;
constexpr std::uint64_t kMachineAt = 0;
constexpr std::uint64_t kSectionCountAt = 2;
constexpr std::uint64_t kOptionalHeaderSizeAt = 16;
constexpr std::uint64_t kCharacteristicsAt = 18;

// Offsets in the optional header, which starts with its magic; PE32+ has a wider image base and
// wider fields before the data directories.
constexpr std::uint64_t kImageBaseAt32 = 28;
constexpr std::uint64_t kImageBaseAt64 = 24;
constexpr std::uint64_t kDirectoryCountAt32 = 92;
constexpr std::uint64_t kDirectoryCountAt64 = 108;
constexpr std::uint64_t kDirectoriesAt32 = 96;
constexpr std::uint64_t kDirectoriesAt64 = 112;
constexpr std::uint64_t kDirectorySize = 8; // a data directory: RVA, then size

// A section header and its fields.
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::size_t kSectionVirtualSizeAt = 8;
constexpr std::size_t kSectionVirtualAddressAt = 12;
constexpr std::size_t kSectionRawSizeAt = 16;
constexpr std::size_t kSectionRawOffsetAt = 20;

std::uint32_t le32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
        | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::nullopt_t fail(QString* error, const char* why)
{
    if (error)
        *error = QString::fromLatin1(why);
    return std::nullopt;
}

}

bool StartsLikeExecutableImage(const ByteSource& source)
{
    unsigned char magic[2];
    return source.read(0, magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}

std::optional<PeImage> PeImage::read(const ByteSource& image, QString* error)
{
    if (!StartsLikeExecutableImage(image))
        return fail(error, "not a PE image");
    const auto peOffset = image.u32(kPeHeaderOffsetAt);
    unsigned char signature[4];
    if (!peOffset || !image.contains(*peOffset, kSignatureSize + kFileHeaderSize)
        || !image.read(*peOffset, signature, 4) || signature[0] != 'P' || signature[1] != 'E'
        || signature[2] != 0 || signature[3] != 0)
        return fail(error, "not a PE image");

    PeImage pe;
    const std::uint64_t fileHeader = std::uint64_t(*peOffset) + kSignatureSize;
    const auto machine = image.u16(fileHeader + kMachineAt);
    const auto sectionCount = image.u16(fileHeader + kSectionCountAt);
    const auto optionalSize = image.u16(fileHeader + kOptionalHeaderSizeAt);
    const auto characteristics = image.u16(fileHeader + kCharacteristicsAt);
    const std::uint64_t optional = fileHeader + kFileHeaderSize;
    const auto magic = image.u16(optional);
    if (!machine || !sectionCount || !optionalSize || !characteristics || !magic
        || (*magic != kPe32Magic && *magic != kPe32PlusMagic))
        return fail(error, "not a PE32 or PE32+ image");
    pe.machine_ = *machine;
    pe.characteristics_ = *characteristics;
    pe.plus_ = *magic == kPe32PlusMagic;

    const auto baseLow = image.u32(optional + (pe.plus_ ? kImageBaseAt64 : kImageBaseAt32));
    const auto baseHigh = pe.plus_ ? image.u32(optional + kImageBaseAt64 + 4) : std::optional<std::uint32_t>(0);
    if (!baseLow || !baseHigh)
        return fail(error, "truncated PE headers");
    pe.imageBase_ = std::uint64_t(*baseHigh) << 32 | *baseLow;

    // The directories are those the header counts and its declared size holds, at most 16.
    const std::uint64_t directoriesAt = pe.plus_ ? kDirectoriesAt64 : kDirectoriesAt32;
    const auto declared = image.u32(optional + (pe.plus_ ? kDirectoryCountAt64 : kDirectoryCountAt32));
    if (declared && *optionalSize > directoriesAt) {
        const std::uint64_t fitting = (*optionalSize - directoriesAt) / kDirectorySize;
        pe.directoryCount_ = unsigned(std::min<std::uint64_t>({*declared, fitting, kMaxDirectories}));
    }
    std::array<unsigned char, kDirectorySize * kMaxDirectories> directories;
    if (!image.read(optional + directoriesAt, directories.data(), kDirectorySize * pe.directoryCount_))
        return fail(error, "truncated PE headers");
    for (unsigned i = 0; i < pe.directoryCount_; ++i)
        pe.directories_[i] = {le32(&directories[kDirectorySize * i]), le32(&directories[kDirectorySize * i + 4])};

    if (*sectionCount > kMaxSections)
        return fail(error, "too many sections");
    const std::uint64_t table = optional + *optionalSize;
    std::array<unsigned char, kSectionHeaderSize * kSectionBatch> batch;
    for (std::uint16_t first = 0; first < *sectionCount; first += kSectionBatch) {
        const std::uint16_t count = std::min<std::uint16_t>(kSectionBatch, *sectionCount - first);
        if (!image.read(table + kSectionHeaderSize * first, batch.data(), kSectionHeaderSize * count))
            return fail(error, "truncated section table");
        for (std::uint16_t i = 0; i < count; ++i) {
            const unsigned char* s = batch.data() + kSectionHeaderSize * i;
            pe.sections_.push_back({le32(s + kSectionVirtualAddressAt), le32(s + kSectionVirtualSizeAt),
                                    le32(s + kSectionRawSizeAt), le32(s + kSectionRawOffsetAt)});
        }
    }
    return pe;
}

PeImage::Directory PeImage::directory(unsigned index) const
{
    return index < directoryCount_ ? directories_[index] : Directory{};
}

const PeImage::Section* PeImage::sectionOf(std::uint32_t rva, std::uint64_t* delta) const
{
    for (const Section& s : sections_) {
        const std::uint64_t extent = s.virtualSize ? s.virtualSize : s.rawSize;
        if (rva < s.virtualAddress || rva - s.virtualAddress >= extent)
            continue;
        *delta = rva - s.virtualAddress;
        return &s;
    }
    return nullptr;
}

std::optional<ByteRange> PeImage::toFile(std::uint32_t rva, std::uint64_t length) const
{
    std::uint64_t delta = 0;
    const Section* s = sectionOf(rva, &delta);
    if (!s || length > s->rawSize || delta > s->rawSize - length)
        return std::nullopt; // in no section, or in one but not in its bytes on disk
    return ByteRange{s->rawOffset + delta, length};
}

std::optional<ByteRange> PeImage::restOfSection(std::uint32_t rva) const
{
    std::uint64_t delta = 0;
    const Section* s = sectionOf(rva, &delta);
    if (!s || delta >= s->rawSize)
        return std::nullopt;
    return ByteRange{s->rawOffset + delta, s->rawSize - delta};
}
