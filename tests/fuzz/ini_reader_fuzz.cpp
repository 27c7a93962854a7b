// Feeds arbitrary bytes to the settings-file reader as ZANTREL.INI and checks what must hold
// for any file: reading never fails outright, and after a value is written it reads back as
// written while the file's other sections survive the rewrite.
#include "platform/files/PathMapper.h"
#include "platform/files/PrivateProfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

struct Prefix {
    QTemporaryDir dir{QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/zantrel-fuzz-XXXXXX")
                                                                : QDir::tempPath() + QStringLiteral("/zantrel-fuzz-XXXXXX")};
    Prefix()
    {
        QDir root(dir.path());
        root.mkpath(QStringLiteral("drive_c/windows"));
        root.mkpath(QStringLiteral("dosdevices"));
        QFile::link(QStringLiteral("../drive_c"), root.filePath(QStringLiteral("dosdevices/c:")));
        PathMapper::setCurrent(dir.path());
    }
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Prefix prefix;
    const QString ini = QStringLiteral("ZANTREL.INI");
    {
        QFile file(prefix.dir.path() + QStringLiteral("/drive_c/windows/ZANTREL.INI"));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    const QString before = PrivateProfile::GetString(QStringLiteral("otra"), QStringLiteral("x"), QStringLiteral("<none>"), 255, ini);
    PrivateProfile::GetString(QStringLiteral("general"), QStringLiteral("path"), QString(), 255, ini);
    check(PrivateProfile::ReadFailure(ini).isEmpty());

    const QString value = QStringLiteral("d:\\proyectos\\a\u00f1o\\");
    check(PrivateProfile::WriteString(QStringLiteral("general"), QStringLiteral("path"), value, ini));
    check(PrivateProfile::GetString(QStringLiteral("general"), QStringLiteral("path"), QString(), 255, ini) == value);
    // Another section's value is kept, unless the written line itself changed what it reads
    // (a "path" key inside [otra] cannot be, so only the [general] entry may move).
    check(PrivateProfile::GetString(QStringLiteral("otra"), QStringLiteral("x"), QStringLiteral("<none>"), 255, ini) == before);
    return 0;
}
