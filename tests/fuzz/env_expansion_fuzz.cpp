// Reads arbitrary lines as a prefix's environment ("NAME=value" lines, expandable when the
// value holds a '%') and expands the last line with it; checks that no expanded value and no
// expansion passes the Windows limit, however the values refer to each other.
#include "platform/registry/RegistryStore.h"
#include "platform/registry/WindowsEnvironment.h"
#include "FuzzCheck.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

// A string as the registry file writes it, quotes and backslashes escaped, other characters
// below 0x20 and above 0x7e as \x escapes.
QByteArray quoted(const QString& text)
{
    QByteArray out = "\"";
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'"' || u == u'\\')
            out += '\\' + QByteArray(1, char(u));
        else if (u < 0x20 || u > 0x7e)
            out += "\\x" + QByteArray::number(u, 16);
        else
            out += char(u);
    }
    return out + '"';
}

// A prefix without registry files: the store reads the generated text in their place.
struct Folder {
    QTemporaryDir dir{QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/zantrel-fuzz-XXXXXX")
                                                                : QDir::tempPath() + QStringLiteral("/zantrel-fuzz-XXXXXX")};
    RegistryStore store{dir.path()};
};

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Folder folder;
    const QStringList lines = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)).split(u'\n');
    QByteArray reg = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
                     "[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 1700000000\n";
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const qsizetype equals = lines[i].indexOf(u'=');
        if (equals <= 0)
            continue;
        const QString value = lines[i].mid(equals + 1);
        reg += quoted(lines[i].left(equals)) + '=' + (value.contains(u'%') ? "str(2):" : "") + quoted(value) + '\n';
    }
    folder.store.loadText(reg);
    const WindowsEnvironment environment(folder.store);
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const qsizetype equals = lines[i].indexOf(u'=');
        if (equals > 0 && lines[i].indexOf(u'%', equals) > 0)
            check(environment.value(lines[i].left(equals)).size() <= WindowsEnvironment::kMaxExpandedLength);
    }
    const QString last = lines.isEmpty() ? QString() : lines.last();
    check(environment.expand(last).size() <= WindowsEnvironment::kMaxExpandedLength);
    return 0;
}
