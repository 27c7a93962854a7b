// Feeds arbitrary bytes to the reader of a PE image's imports. A result names only what the bytes
// hold: each DLL name is printable ASCII of at most 255 characters, written in the input with its
// zero byte, and neither list is longer than the limit; a failure says why. One input in eight
// (by its first byte) is also read from a file through the host-file source, which must read the same.
#include "platform/files/ByteSource.h"
#include "platform/typelib/PeImports.h"
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

void checkNames(const QStringList& names, std::string_view bytes)
{
    check(names.size() <= kMaxImportDescriptors);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString& name = names[i];
        check(!name.isEmpty() && name.size() <= kMaxImportNameLength);
        std::string written;
        for (QChar c : name) {
            check(c.unicode() >= 0x20 && c.unicode() < 0x7f);
            written += char(c.unicode());
        }
        written += '\0';
        if (i < 64) // finding each of thousands would take the fuzzer's time
            check(bytes.find(written) != std::string_view::npos);
    }
}

bool same(const std::optional<PeImports>& a, const std::optional<PeImports>& b)
{
    if (!a || !b)
        return !a && !b;
    return a->machine == b->machine && a->dll == b->dll && a->wineBuiltin == b->wineBuiltin && a->imports == b->imports
        && a->delayImports == b->delayImports && a->problems == b->problems;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const MemorySource source(bytes);
    QString error;
    const auto read = ReadPeImports(source, &error);
    check(read || !error.isEmpty());
    if (read) {
        checkNames(read->imports, bytes);
        checkNames(read->delayImports, bytes);
        check(read->problems.size() <= 2 * kMaxImportDescriptors + 2);
    }

    if (size == 0 || (data[0] & 7) != 0)
        return 0;
    static Folder folder;
    const QString host = folder.dir.filePath(QStringLiteral("x.dll"));
    {
        QFile file(host);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes.data(), qint64(size)) != qint64(size))
            return 0;
    }
    const HostFileSource onDisk(host);
    check(onDisk.isOpen());
    check(same(ReadPeImports(onDisk), read));
    return 0;
}
