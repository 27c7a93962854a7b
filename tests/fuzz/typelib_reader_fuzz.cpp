// Feeds arbitrary bytes to the type-library reader: as a library image (MSFT) in memory; as a
// file's contents, which for a PE image means its TYPELIB resource, numbered by the input's last
// byte; and, for one input in eight (chosen by its first byte, so the fast in-memory routes keep
// most of the time), as a file of a small prefix read through the host-file source by its
// Windows path, plain and in the "x.dll\N" form. The file routes must agree with memory.
#include "platform/files/ByteSource.h"
#include "platform/files/PathMapper.h"
#include "platform/typelib/TypeLibReader.h"
#include "FuzzCheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <string_view>

namespace {

struct Prefix {
    QTemporaryDir dir{QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/zantrel-fuzz-XXXXXX")
                                                                : QDir::tempPath() + QStringLiteral("/zantrel-fuzz-XXXXXX")};
    Prefix()
    {
        QDir root(dir.path());
        root.mkpath(QStringLiteral("drive_c/lib"));
        root.mkpath(QStringLiteral("drive_c/windows/system32"));
        root.mkpath(QStringLiteral("dosdevices"));
        QFile::link(QStringLiteral("../drive_c"), root.filePath(QStringLiteral("dosdevices/c:")));
        PathMapper::setCurrent(dir.path());
    }
};

bool sameResult(const std::optional<TypeLibInfo>& a, const std::optional<TypeLibInfo>& b)
{
    return a.has_value() == b.has_value() && (!a || a->guid == b->guid);
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const MemorySource source(bytes);
    QString error;
    const auto info = ReadTypeLibImage(source, &error);
    // A success reads a well-formed GUID; a failure says why.
    check(info ? info->guid.size() == 38 : !error.isEmpty());

    const std::uint16_t number = size ? std::uint16_t(data[size - 1] % 4) : 1;
    error.clear();
    const auto fromImage = ReadTypeLibFile(source, number, &error);
    check(fromImage ? fromImage->guid.size() == 38 : !error.isEmpty());

    if (size == 0 || (data[0] & 7) != 0)
        return 0;
    static Prefix prefix;
    const QString host = prefix.dir.path() + QStringLiteral("/drive_c/lib/x.dll");
    {
        QFile file(host);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes.data(), qint64(size)) != qint64(size))
            return 0;
    }
    const HostFileSource onDisk(host);
    check(onDisk.isOpen() && onDisk.size() == size);
    check(sameResult(ReadTypeLibFile(onDisk, number), fromImage));
    const auto loaded = LoadTypeLibFromFile(QStringLiteral("c:\\lib\\x.dll\\") + QString::number(number));
    if (number != 0)
        check(sameResult(loaded, fromImage));
    check(sameResult(LoadTypeLibFromFile(QStringLiteral("C:\\LIB\\X.DLL")), ReadTypeLibFile(source, 1)));
    return 0;
}
