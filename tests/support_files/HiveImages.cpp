#include "support_files/HiveImages.h"

#include "support_files/IndependentReaders.h"

#include <QFile>
#include <QtEndian>

namespace {

void put32(QByteArray& bytes, int at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

// A used cell holding `record`: its size (negative while in use, a multiple of 8), the record.
QByteArray cell(const QByteArray& record)
{
    QByteArray bytes((4 + int(record.size()) + 7) & ~7, '\0');
    put32(bytes, 0, quint32(-bytes.size()));
    return bytes.replace(4, record.size(), record);
}

}

void FixHiveChecksum(QByteArray& image)
{
    quint32 sum = 0;
    for (int at = 0; at < kHiveChecksumAt; at += 4)
        sum ^= qFromLittleEndian<quint32>(image.constData() + at);
    put32(image, kHiveChecksumAt, sum);
}

QByteArray EmptyHiveImage()
{
    // Cells are addressed by their offset from the first bin, whose header takes 0x20 bytes.
    // The root key ("nk"): flags 0x2C (the hive's entry, not deletable, its name stored one byte
    // a character), no subkey, value or class-name list (0xFFFFFFFF), its security cell, the
    // name's length and the name.
    const quint32 root = 0x20, security = root + 0x58;
    QByteArray key = QByteArray("nk\x2c\0", 4) + QByteArray(0x48, '\0') + "ROOT";
    for (int at : {0x1C, 0x20, 0x28, 0x30})
        put32(key, at, 0xFFFFFFFF);
    put32(key, 0x2C, security);
    key[0x48] = 4;
    // The security cell ("sk"): alone in its list (its previous and next are itself), used by the
    // root, holding an empty self-relative descriptor (revision 1, control SE_SELF_RELATIVE).
    QByteArray descriptor("\x01\0\0\x80", 4);
    descriptor += QByteArray(16, '\0');
    QByteArray shared = QByteArray("sk\0\0", 4) + QByteArray(16, '\0') + descriptor;
    put32(shared, 4, security), put32(shared, 8, security), put32(shared, 12, 1), put32(shared, 16, quint32(descriptor.size()));

    QByteArray bin = QByteArray("hbin") + QByteArray(0x1C, '\0') + cell(key) + cell(shared);
    put32(bin, 8, 0x1000); // the bin's size; its offset is 0
    const int rest = 0x1000 - int(bin.size());
    bin += QByteArray(rest, '\0');
    put32(bin, 0x1000 - rest, quint32(rest)); // the rest of the bin is one free cell

    QByteArray base(0x1000, '\0');
    base.replace(0, 4, "regf");
    for (const auto& [at, value] : {std::pair(kHivePrimarySequenceAt, 1u), std::pair(kHiveSecondarySequenceAt, 1u),
                                    std::pair(0x14, 1u) /* version 1.3 */, std::pair(0x18, 3u),
                                    std::pair(0x20, 1u) /* direct memory load */, std::pair(0x24, root),
                                    std::pair(kHiveBinsSizeAt, 0x1000u), std::pair(0x2C, 1u) /* clustering */})
        put32(base, at, value);
    base.replace(0x30, 8, QByteArray("R\0O\0O\0T\0", 8)); // the file's name
    FixHiveChecksum(base);
    return base + bin;
}

QByteArray WithSequenceNumbers(QByteArray image, quint32 primary, quint32 secondary)
{
    put32(image, kHivePrimarySequenceAt, primary);
    put32(image, kHiveSecondarySequenceAt, secondary);
    FixHiveChecksum(image);
    return image;
}

bool MakeHive(const QString& hivePath, const QByteArray& regText, QString* error)
{
    QFile file(hivePath);
    const QByteArray empty = EmptyHiveImage();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(empty) != empty.size()) {
        *error = QStringLiteral("cannot write ") + hivePath;
        return false;
    }
    file.close();
    return MergeIntoHive(hivePath, regText, error);
}
