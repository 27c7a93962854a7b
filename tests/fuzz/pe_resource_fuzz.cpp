// Feeds arbitrary bytes to the reader of resources in files: as a PE image, its TYPELIB
// resources 1 and 2 and others (0, 3, the largest number, one chosen by the input's last two
// bytes; and a type name that is not TYPELIB), then the library they hold; as anything else,
// the library itself. One input in eight (by its first byte) is also read from a file through
// the host-file source, which must find the same resources.
#include "platform/files/ByteSource.h"
#include "platform/typelib/PeResources.h"
#include "platform/typelib/TypeLibReader.h"
#include "FuzzCheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <string_view>

namespace {

struct Folder {
    QTemporaryDir dir{QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/zantrel-fuzz-XXXXXX")
                                                                : QDir::tempPath() + QStringLiteral("/zantrel-fuzz-XXXXXX")};
};

bool sameRange(const std::optional<ByteRange>& a, const std::optional<ByteRange>& b)
{
    return a.has_value() == b.has_value() && (!a || (a->offset == b->offset && a->length == b->length));
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const MemorySource source(bytes);
    const std::uint16_t chosen = size >= 2 ? std::uint16_t(data[size - 2] | data[size - 1] << 8) : 7;
    const std::uint16_t numbers[] = {1, 2, 0, 3, 0xffff, chosen};
    std::optional<ByteRange> found[std::size(numbers)];
    for (std::size_t i = 0; i < std::size(numbers); ++i) {
        QString error;
        found[i] = FindPeResource(source, u"TYPELIB", numbers[i], &error);
        check(found[i] ? source.contains(found[i]->offset, found[i]->length) : !error.isEmpty());
        if (i < 3)
            ReadTypeLibFile(source, numbers[i]);
    }
    const auto other = FindPeResource(source, u"RegInst", chosen);
    check(!other || source.contains(other->offset, other->length));

    if (size == 0 || (data[0] & 7) != 0)
        return 0;
    static Folder folder;
    const QString host = folder.dir.filePath(QStringLiteral("x.ocx"));
    {
        QFile file(host);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes.data(), qint64(size)) != qint64(size))
            return 0;
    }
    const HostFileSource onDisk(host);
    check(onDisk.isOpen());
    for (std::size_t i = 0; i < std::size(numbers); ++i)
        check(sameRange(FindPeResource(onDisk, u"typelib", numbers[i]), found[i]));
    return 0;
}
