// Feeds arbitrary bytes to the settings-file reader as the contents of ZANTREL.INI, in memory
// (the reading and writing of lines a file gets), in the Western page or a double-byte one
// (codePageFor), and checks what must hold for any file: after
// a value is written it reads back as written while the file's other sections survive the
// rewrite, and the rewritten text reads the same when written again.
#include "platform/core/AnsiCodePage.h"
#include "platform/files/PrivateProfile.h"
#include "FuzzCheck.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    AnsiCodePage::use(codePageFor(size));
    const QString general = QStringLiteral("general");
    const QString path = QStringLiteral("path");
    const QString otra = QStringLiteral("otra");
    const QString x = QStringLiteral("x");
    const QString before = PrivateProfile::GetStringFromText(input, otra, x, QStringLiteral("<none>"), 255);
    PrivateProfile::GetStringFromText(input, general, path, QString(), 255);

    // A value every page can write: a Spanish letter, or a Japanese one in a double-byte page.
    const QString value = AnsiCodePage::current() == AnsiCodePage::kWestern ? QStringLiteral("d:\\proyectos\\a\u00f1o\\")
                          : AnsiCodePage::current() == 932               ? QStringLiteral("d:\\proyectos\\\u8868\\")
                                                                          : QStringLiteral("d:\\proyectos\\x\\");
    const QByteArray written = PrivateProfile::WriteStringToText(input, general, path, value);
    check(PrivateProfile::GetStringFromText(written, general, path, QString(), 255) == value);
    // Another section's value is kept, unless the written line itself changed what it reads
    // (a "path" key inside [otra] cannot be, so only the [general] entry may move).
    check(PrivateProfile::GetStringFromText(written, otra, x, QStringLiteral("<none>"), 255) == before);
    // Writing the same value again changes nothing.
    check(PrivateProfile::WriteStringToText(written, general, path, value) == written);
    return 0;
}
