#include "platform/xls/CompoundFile.h"

#include <QtEndian>
#include <cstdint>

namespace CompoundFile {

namespace {

constexpr qsizetype kSector = 512;
constexpr qsizetype kEntriesPerSector = kSector / 4;   // allocation table entries per sector
constexpr qsizetype kHeaderFatSlots = 109;             // FAT sector numbers held by the header
constexpr qsizetype kDifatSlots = kEntriesPerSector - 1; // per DIFAT sector; the last slot chains
constexpr qsizetype kMiniStreamCutoff = 4096;

constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

void put16(QByteArray& b, qsizetype at, std::uint16_t v) { qToLittleEndian(v, b.data() + at); }
void put32(QByteArray& b, qsizetype at, std::uint32_t v) { qToLittleEndian(v, b.data() + at); }

qsizetype sectorsFor(qsizetype bytes) { return (bytes + kSector - 1) / kSector; }

// One 128-byte directory entry.
QByteArray directoryEntry(const QString& name, std::uint8_t type, std::uint32_t child, std::uint32_t start,
                          std::uint32_t size)
{
    QByteArray e(128, '\0');
    const QString cut = name.left(31);
    for (qsizetype i = 0; i < cut.size(); ++i)
        put16(e, 2 * i, cut[i].unicode());
    put16(e, 0x40, cut.isEmpty() ? 0 : std::uint16_t(2 * (cut.size() + 1)));
    e[0x42] = char(type);
    e[0x43] = char(type == 0 ? 0 : 1); // black: a tree of one node
    put32(e, 0x44, kNoStream);
    put32(e, 0x48, kNoStream);
    put32(e, 0x4C, child);
    put32(e, 0x74, start);
    put32(e, 0x78, size);
    return e;
}

}

OneStreamFile AroundOneStream(const QString& streamName, qsizetype dataSize)
{
    const qsizetype streamSize = std::max<qsizetype>(dataSize, kMiniStreamCutoff);
    if (streamSize > 0x7FFF0000)
        return {};
    const qsizetype streamSectors = sectorsFor(streamSize);
    const qsizetype directorySectors = 1;

    // The allocation table covers every sector, its own included, and the DIFAT sectors that
    // list it when the header's 109 slots are not enough.
    qsizetype fatSectors = 1, difatSectors = 0;
    for (;;) {
        const qsizetype total = streamSectors + directorySectors + fatSectors + difatSectors;
        const qsizetype neededFat = (total + kEntriesPerSector - 1) / kEntriesPerSector;
        const qsizetype neededDifat =
            neededFat > kHeaderFatSlots ? (neededFat - kHeaderFatSlots + kDifatSlots - 1) / kDifatSlots : 0;
        if (neededFat == fatSectors && neededDifat == difatSectors)
            break;
        fatSectors = neededFat;
        difatSectors = neededDifat;
    }
    const qsizetype firstDirectory = streamSectors;
    const qsizetype firstFat = firstDirectory + directorySectors;
    const qsizetype firstDifat = firstFat + fatSectors;
    const qsizetype totalSectors = firstDifat + difatSectors;

    OneStreamFile parts;
    QByteArray& head = parts.head;
    head.resize(kSector, '\0');

    // Header.
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(signature, signature + 8, head.data());
    put16(head, 0x18, 0x003E);
    put16(head, 0x1A, 0x0003);
    put16(head, 0x1C, 0xFFFE);
    put16(head, 0x1E, 9);
    put16(head, 0x20, 6);
    put32(head, 0x2C, std::uint32_t(fatSectors));
    put32(head, 0x30, std::uint32_t(firstDirectory));
    put32(head, 0x38, std::uint32_t(kMiniStreamCutoff));
    put32(head, 0x3C, kEndOfChain);
    put32(head, 0x44, difatSectors ? std::uint32_t(firstDifat) : kEndOfChain);
    put32(head, 0x48, std::uint32_t(difatSectors));
    for (qsizetype i = 0; i < kHeaderFatSlots; ++i)
        put32(head, 0x4C + 4 * i, i < fatSectors ? std::uint32_t(firstFat + i) : kFreeSector);

    // The stream's padding to whole sectors, then the directory.
    QByteArray& tail = parts.tail;
    tail.reserve(kSector * (totalSectors - streamSectors + 8));
    tail.append(kSector * streamSectors - dataSize, '\0');

    // Directory: the root, the stream, and two unused entries.
    QByteArray directory = directoryEntry(QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0)
                           + directoryEntry(streamName, 2, kNoStream, 0, std::uint32_t(streamSize))
                           + directoryEntry(QString(), 0, kNoStream, 0, 0)
                           + directoryEntry(QString(), 0, kNoStream, 0, 0);
    tail += directory;

    // Allocation table.
    QByteArray fat(kSector * fatSectors, '\xFF');
    auto link = [&fat](qsizetype sector, std::uint32_t next) { put32(fat, 4 * sector, next); };
    for (qsizetype s = 0; s < streamSectors; ++s)
        link(s, s + 1 < streamSectors ? std::uint32_t(s + 1) : kEndOfChain);
    link(firstDirectory, kEndOfChain);
    for (qsizetype s = 0; s < fatSectors; ++s)
        link(firstFat + s, kFatSector);
    for (qsizetype s = 0; s < difatSectors; ++s)
        link(firstDifat + s, kDifatSector);
    tail += fat;

    // DIFAT sectors: the FAT sectors past the header's 109, 127 a sector, chained.
    for (qsizetype d = 0; d < difatSectors; ++d) {
        QByteArray sector(kSector, '\xFF');
        for (qsizetype i = 0; i < kDifatSlots; ++i) {
            const qsizetype fatIndex = kHeaderFatSlots + d * kDifatSlots + i;
            if (fatIndex < fatSectors)
                put32(sector, 4 * i, std::uint32_t(firstFat + fatIndex));
        }
        put32(sector, 4 * kDifatSlots, d + 1 < difatSectors ? std::uint32_t(firstDifat + d + 1) : kEndOfChain);
        tail += sector;
    }
    return parts;
}

QByteArray WithOneStream(const QString& streamName, const QByteArray& stream)
{
    const OneStreamFile parts = AroundOneStream(streamName, stream.size());
    if (parts.head.isEmpty())
        return {};
    return parts.head + stream + parts.tail;
}

}
