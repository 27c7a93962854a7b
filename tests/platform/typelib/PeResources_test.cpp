#include "platform/typelib/PeResources.h"
#include "platform/typelib/TypeLibReader.h"
#include "support_files/TypeLibImages.h"

#include <gtest/gtest.h>

using namespace TypeLibImages;

namespace {

std::optional<ByteRange> find(const QByteArray& image, std::uint16_t id = 1, QString* error = nullptr)
{
    const MemorySource source(std::string_view(image.constData(), std::size_t(image.size())));
    return FindPeResource(source, u"TYPELIB", id, error);
}

QByteArray twoLibraries(bool plus, PeLayout* layout = nullptr)
{
    MsftShape second;
    second.major = 2;
    second.minor = 5;
    return MakePe(plus, {{QStringLiteral("TYPELIB"), 1, MakeMsft()}, {QStringLiteral("TYPELIB"), 2, MakeMsft(second)}}, 0,
                  layout);
}

}

TEST(PeResources, FindsNumberedResourcesOfANamedTypeInBothImageKinds)
{
    for (bool plus : {false, true}) {
        const QByteArray image = twoLibraries(plus);
        const auto first = find(image, 1);
        const auto second = find(image, 2);
        ASSERT_TRUE(first && second);
        EXPECT_EQ(image.mid(qsizetype(first->offset), qsizetype(first->length)), MakeMsft());
        const MemorySource source(std::string_view(image.constData(), std::size_t(image.size())));
        EXPECT_EQ(ReadTypeLibFile(source, 2)->minorVersion, 5);
        EXPECT_FALSE(find(image, 3));
    }
}

TEST(PeResources, TheTypeNameMatchesIgnoringCaseAndOnlyWhole)
{
    EXPECT_TRUE(find(MakePe(false, {{QStringLiteral("typelib"), 1, MakeMsft()}})));
    EXPECT_FALSE(find(MakePe(false, {{QStringLiteral("TYPELIBX"), 1, MakeMsft()}})));
    EXPECT_FALSE(find(MakePe(false, {{QStringLiteral("TYPELI"), 1, MakeMsft()}})));
    EXPECT_FALSE(find(MakePe(false, {{QStringLiteral("RCDATA"), 1, MakeMsft()}})));
}

// Each case breaks one structure of a good image; each must fail with a reason, not crash,
// hang or read outside the bytes.
TEST(PeResources, MalformedImagesFailCleanly)
{
    PeLayout l;
    const QByteArray good = twoLibraries(false, &l);
    ASSERT_TRUE(find(good));
    const qsizetype directories = l.optionalHeader + 96;
    struct Case {
        const char* what;
        qsizetype at;
        std::uint32_t value;
        bool wide;
    };
    const Case cases[] = {
        {"PE header offset past the end", 0x3c, 0x7ffffff0u, true},
        {"PE header offset at the very end", 0x3c, 0xfffffffcu, true},
        {"no PE signature", l.peHeader, 0x00004c45u, true},
        {"unknown optional header", l.optionalHeader, 0x107, false},
        {"optional header too short for the resource directory", l.peHeader + 20, 0x40, false},
        {"more sections than the loader takes", l.peHeader + 6, 0xffff, false},
        {"section table past the end", l.peHeader + 20, 0xfff0, false},
        {"no resource directory", directories + 16, 0, true},
        {"resource directory in no section", directories + 16, 0x7ffff000u, true},
        {"resource section raw data past the end", l.sectionTable + 20, 0x7ffff000u, true},
        {"resource section without raw data", l.sectionTable + 16, 0, true},
        {"type name outside the section", l.resourceSection + 16, 0xfffffff0u, true},
        {"type name length past the end", l.typeName, 0xffff, false},
        {"type entry is not a directory", l.resourceSection + 20, 0x00000010u, true},
        {"type directory outside the section", l.resourceSection + 20, 0xfffffff0u, true},
        {"resource directory loops back to the root", l.typeDirectory + 20, 0x80000000u, true},
        {"language directory loops back to itself", l.languageDirectory + 20, 0x80000000u | std::uint32_t(l.languageDirectory - l.resourceSection), true},
        {"no languages", l.languageDirectory + 14, 0, false},
        {"data entry outside the section", l.languageDirectory + 20, 0x7ffffff0u, true},
        {"data in no section", l.dataEntry, 0x00000010u, true},
        {"huge declared data size", l.dataEntry + 4, 0xffffffffu, true},
        {"data size past the section", l.dataEntry + 4, 0x00100000u, true},
    };
    for (const Case& c : cases) {
        QByteArray bad = good;
        if (c.wide)
            put32(bad, c.at, c.value);
        else
            put16(bad, c.at, c.value);
        QString error;
        EXPECT_FALSE(find(bad, 1, &error)) << c.what;
        EXPECT_FALSE(error.isEmpty()) << c.what;
    }
}

TEST(PeResources, AHugeEntryCountEndsAtTheEndOfTheSection)
{
    PeLayout l;
    QByteArray image = twoLibraries(true, &l);
    put16(image, l.typeDirectory + 14, 0xffff);
    EXPECT_TRUE(find(image, 2)) << "entries before the end still count";
    EXPECT_FALSE(find(image, 3));

    QByteArray other = MakePe(false, {{QStringLiteral("OTHER"), 1, MakeMsft()}}, 0, &l);
    put32(other, l.resourceSection + 12, 0xffffffffu);
    QString error;
    EXPECT_FALSE(find(other, 1, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(PeResources, ALanguageOtherThanNeutralIsStillFound)
{
    PeLayout l;
    QByteArray image = MakePe(false, {{QStringLiteral("TYPELIB"), 1, MakeMsft()}}, 0, &l);
    put32(image, l.languageDirectory + 16, 0x0c0a);
    EXPECT_TRUE(find(image));
}
