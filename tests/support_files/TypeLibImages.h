#pragma once

// Small type libraries and PE images built in memory, for the tests and benchmarks that need
// shapes no tool makes (broken tables, huge declared sizes, a 10 MB image). Header-only so the
// benchmark programs can use it too. The real-tool fixtures are in tests/fixtures/typelibs/.

#include <QByteArray>
#include <QString>
#include <QList>
#include <cstdint>

namespace TypeLibImages {

inline void put16(QByteArray& b, qsizetype at, std::uint32_t v)
{
    b[at] = char(v & 0xff);
    b[at + 1] = char((v >> 8) & 0xff);
}

inline void put32(QByteArray& b, qsizetype at, std::uint32_t v)
{
    put16(b, at, v & 0xffff);
    put16(b, at + 2, v >> 16);
}

inline void pad(QByteArray& b, qsizetype alignment)
{
    while (b.size() % alignment)
        b.append('\0');
}

// What a minimal MSFT library holds.
struct MsftShape {
    QByteArray guid = QByteArray::fromHex("109c2a3f7e5b214d9a6c0e8b1f4d7a21"); // as stored: Data1..3 little-endian
    QByteArray helpString = "Biblioteca de facturaci\xf3n";                    // windows-1252 bytes; empty for none
    std::uint16_t major = 1;
    std::uint16_t minor = 0;
    std::uint32_t lcid = 0;
};

// Where the parts of a library built by MakeMsft lie.
struct MsftLayout {
    static constexpr qsizetype kHeader = 0;
    static constexpr qsizetype kSegments = 0x54;                 // 15 entries of 16 bytes
    static constexpr qsizetype kGuidTable = kSegments + 15 * 16; // one 24-byte entry
    static constexpr qsizetype kStringTable = kGuidTable + 24;
};

// A library with the header, segment directory, GUID table and string table that the reader
// needs, and no type infos.
inline QByteArray MakeMsft(const MsftShape& shape = MsftShape())
{
    QByteArray b(MsftLayout::kStringTable, '\0');
    put32(b, 0x00, 0x5446534d);          // "MSFT"
    put32(b, 0x04, 0x00010002);
    put32(b, 0x08, 0);                   // the GUID is the first entry of the GUID table
    put32(b, 0x0c, shape.lcid ? shape.lcid : 0x409);
    put32(b, 0x10, shape.lcid);
    put32(b, 0x14, 0x41);                // win32
    put32(b, 0x18, shape.major | (std::uint32_t(shape.minor) << 16));
    put32(b, 0x24, shape.helpString.isEmpty() ? 0xffffffffu : 0);
    put32(b, 0x34, 0xffffffffu);         // no name
    put32(b, 0x3c, 0xffffffffu);         // no help file
    put32(b, 0x40, 0xffffffffu);         // no custom data
    put32(b, 0x4c, 0xffffffffu);         // no IDispatch
    for (int i = 0; i < 15; ++i) {
        const qsizetype at = MsftLayout::kSegments + 16 * i;
        put32(b, at, 0xffffffffu);
        put32(b, at + 8, 0xffffffffu);
        put32(b, at + 12, 0x0f);
    }
    put32(b, MsftLayout::kSegments + 16 * 5, MsftLayout::kGuidTable);
    put32(b, MsftLayout::kSegments + 16 * 5 + 4, 24);
    b.replace(MsftLayout::kGuidTable, 16, shape.guid.left(16));
    put32(b, MsftLayout::kGuidTable + 16, 0xffffffffu);
    put32(b, MsftLayout::kGuidTable + 20, 0xffffffffu);
    if (!shape.helpString.isEmpty()) {
        QByteArray entry(2, '\0');
        put16(entry, 0, std::uint32_t(shape.helpString.size()));
        entry += shape.helpString;
        pad(entry, 4);
        while (entry.size() < 8)
            entry.append('W');
        put32(b, MsftLayout::kSegments + 16 * 8, MsftLayout::kStringTable);
        put32(b, MsftLayout::kSegments + 16 * 8 + 4, std::uint32_t(entry.size()));
        b += entry;
    }
    return b;
}

struct PeResource {
    QString type;        // a named type such as "TYPELIB"
    std::uint16_t id = 1;
    QByteArray data;
};

// Where the parts of an image built by MakePe lie, as file offsets.
struct PeLayout {
    qsizetype peHeader = 0x40;
    qsizetype optionalHeader = 0x58;
    qsizetype sectionTable = 0;
    qsizetype resourceSection = 0;   // the resource tree's root directory
    qsizetype typeDirectory = 0;     // the directory of the first type's resources
    qsizetype languageDirectory = 0; // the languages of the first resource
    qsizetype dataEntry = 0;         // the first resource's data entry
    qsizetype typeName = 0;          // the first type's name string
};

// A PE32 (or PE32+) image with an optional section of `padding` zero bytes before a resource
// section holding `resources`, each under its named type in the neutral language. Resources
// of one type must be given together, in increasing id order.
inline QByteArray MakePe(bool plus, const QList<PeResource>& resources, qint64 padding = 0, PeLayout* layout = nullptr)
{
    constexpr std::uint32_t kFileAlign = 0x200, kSectionAlign = 0x1000;
    PeLayout l;
    const qsizetype optionalSize = plus ? 0xf0 : 0xe0;
    const int sections = padding > 0 ? 2 : 1;
    l.sectionTable = l.optionalHeader + optionalSize;
    const qsizetype headersEnd = l.sectionTable + 40 * sections;
    const std::uint32_t headersSize = (std::uint32_t(headersEnd) + kFileAlign - 1) / kFileAlign * kFileAlign;

    // The resource tree, relative to its start.
    QStringList types;
    for (const PeResource& r : resources)
        if (!types.contains(r.type))
            types.append(r.type);
    QByteArray tree;
    auto directory = [&](int named, int ids) {
        const qsizetype at = tree.size();
        tree.append(16, '\0');
        put16(tree, at + 12, std::uint32_t(named));
        put16(tree, at + 14, std::uint32_t(ids));
        tree.append(8 * (named + ids), '\0');
        return at;
    };
    const qsizetype root = directory(int(types.size()), 0);
    QList<qsizetype> typeDirs, typeNameRefs;
    QList<qsizetype> languageDirs, dataEntries;
    for (int t = 0; t < types.size(); ++t) {
        int count = 0;
        for (const PeResource& r : resources)
            count += r.type == types[t];
        const qsizetype dir = directory(0, count);
        put32(tree, root + 16 + 8 * t + 4, 0x80000000u | std::uint32_t(dir));
        typeDirs.append(dir);
        int i = 0;
        for (const PeResource& r : resources) {
            if (r.type != types[t])
                continue;
            const qsizetype languages = directory(0, 1);
            put32(tree, dir + 16 + 8 * i, r.id);
            put32(tree, dir + 16 + 8 * i + 4, 0x80000000u | std::uint32_t(languages));
            languageDirs.append(languages);
            ++i;
        }
    }
    for (qsizetype languages : languageDirs) {
        const qsizetype entry = tree.size();
        tree.append(16, '\0');
        put32(tree, languages + 16 + 4, std::uint32_t(entry));
        dataEntries.append(entry);
    }
    for (int t = 0; t < types.size(); ++t) {
        const qsizetype name = tree.size();
        tree.append(2, '\0');
        put16(tree, name, std::uint32_t(types[t].size()));
        for (QChar c : types[t]) {
            tree.append(2, '\0');
            put16(tree, tree.size() - 2, c.unicode());
        }
        put32(tree, root + 16 + 8 * t, 0x80000000u | std::uint32_t(name));
        typeNameRefs.append(name);
    }
    pad(tree, 8);

    const std::uint32_t padRva = kSectionAlign;
    const std::uint32_t padVirtual = (std::uint32_t(padding) + kSectionAlign - 1) / kSectionAlign * kSectionAlign;
    const std::uint32_t rsrcRva = padRva + (padding > 0 ? padVirtual : 0);
    const std::uint32_t padRaw = headersSize;
    const std::uint32_t padRawSize = (std::uint32_t(padding) + kFileAlign - 1) / kFileAlign * kFileAlign;
    const std::uint32_t rsrcRaw = padRaw + (padding > 0 ? padRawSize : 0);
    for (int i = 0; i < resources.size(); ++i) {
        const qsizetype at = tree.size();
        put32(tree, dataEntries[i], rsrcRva + std::uint32_t(at));
        put32(tree, dataEntries[i] + 4, std::uint32_t(resources[i].data.size()));
        tree += resources[i].data;
        pad(tree, 8);
    }
    const std::uint32_t rsrcSize = std::uint32_t(tree.size());
    pad(tree, kFileAlign);

    QByteArray b(headersSize, '\0');
    b[0] = 'M';
    b[1] = 'Z';
    put32(b, 0x3c, std::uint32_t(l.peHeader));
    b.replace(l.peHeader, 4, QByteArray("PE\0\0", 4));
    put16(b, l.peHeader + 4, plus ? 0x8664 : 0x14c);
    put16(b, l.peHeader + 6, std::uint32_t(sections));
    put16(b, l.peHeader + 20, std::uint32_t(optionalSize));
    put16(b, l.peHeader + 22, 0x2102); // executable, DLL
    const qsizetype o = l.optionalHeader;
    put16(b, o, plus ? 0x20b : 0x10b);
    put32(b, o + 32, kSectionAlign);
    put32(b, o + 36, kFileAlign);
    put32(b, o + 56, rsrcRva + (rsrcSize + kSectionAlign - 1) / kSectionAlign * kSectionAlign); // SizeOfImage
    put32(b, o + 60, headersSize);
    put32(b, o + (plus ? 108 : 92), 16);
    const qsizetype directories = o + (plus ? 112 : 96);
    put32(b, directories + 16, rsrcRva);
    put32(b, directories + 20, rsrcSize);
    qsizetype s = l.sectionTable;
    if (padding > 0) {
        b.replace(s, 5, ".text");
        put32(b, s + 8, std::uint32_t(padding));
        put32(b, s + 12, padRva);
        put32(b, s + 16, padRawSize);
        put32(b, s + 20, padRaw);
        put32(b, s + 36, 0x60000020);
        s += 40;
    }
    b.replace(s, 5, ".rsrc");
    put32(b, s + 8, rsrcSize);
    put32(b, s + 12, rsrcRva);
    put32(b, s + 16, std::uint32_t(tree.size()));
    put32(b, s + 20, rsrcRaw);
    put32(b, s + 36, 0x40000040);
    if (padding > 0)
        b.append(qsizetype(padRawSize), '\0');
    b += tree;

    l.resourceSection = rsrcRaw;
    if (!typeDirs.isEmpty()) {
        l.typeDirectory = rsrcRaw + typeDirs[0];
        l.typeName = rsrcRaw + typeNameRefs[0];
    }
    if (!languageDirs.isEmpty()) {
        l.languageDirectory = rsrcRaw + languageDirs[0];
        l.dataEntry = rsrcRaw + dataEntries[0];
    }
    if (layout)
        *layout = l;
    return b;
}

}
