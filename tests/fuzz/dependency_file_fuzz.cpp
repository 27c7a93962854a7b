// Feeds arbitrary bytes to the dependency-file reader as a dependency file's contents, in memory,
// in the Western page or a double-byte one (codePageFor), and checks what must hold for any file:
// each file has one section, which find() gives back; sections come in the order of their lines;
// a Uses list holds no empty name; and a file's own section reads as the settings reader reads
// the same text: its Dest, Register and Version, each UsesN of its list, and no UsesN after it.
#include "catalogue/DependencyFile.h"
#include "platform/core/AnsiCodePage.h"
#include "platform/files/PrivateProfile.h"
#include "FuzzCheck.h"

#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    AnsiCodePage::use(codePageFor(size));
    const DependencyFile file = ReadDependencyText(input);
    check(file.problem.isEmpty());
    int last = 0;
    for (const DependencySection& section : file.sections) {
        check(section.line > last);
        last = section.line;
        check(file.find(section.fileName, section.language) == &section);
        for (const QString& name : section.uses)
            check(!name.isEmpty());
    }

    // The settings reader reads the whole text for each value: a few sections and the head of
    // their lists are enough, and keep the target fast enough for long campaigns.
    const auto profile = [&](const QString& section, const QString& key) {
        return PrivateProfile::GetStringFromText(input, section, key, QString(), 1 << 30);
    };
    int compared = 0;
    for (const DependencySection& section : file.sections) {
        if (!section.language.isEmpty())
            continue;
        if (++compared > 3)
            break;
        check(section.dest.written == profile(section.fileName, QStringLiteral("Dest")));
        check(section.registration == profile(section.fileName, QStringLiteral("Register")));
        check(section.version == profile(section.fileName, QStringLiteral("Version")));
        for (qsizetype i = 0; i < section.uses.size() && i < 8; ++i)
            check(section.uses[i] == profile(section.fileName, QStringLiteral("Uses%1").arg(i + 1)));
        if (section.uses.size() < 8)
            check(profile(section.fileName, QStringLiteral("Uses%1").arg(section.uses.size() + 1)).isEmpty());
    }
    return 0;
}
