#include "platform/core/AnsiCodePage.h"

#include <QByteArray>
#include <QString>
#include <gtest/gtest.h>
#include <iconv.h>

namespace {

// glibc's own converter, an independent reader of each page.
QByteArray iconvFromUtf8(const char* page, const QString& text)
{
    iconv_t cd = iconv_open(page, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "<no converter>";
    QByteArray in = text.toUtf8();
    QByteArray out(in.size() * 4 + 8, '\0');
    char* source = in.data();
    char* target = out.data();
    std::size_t inLeft = static_cast<std::size_t>(in.size()), outLeft = static_cast<std::size_t>(out.size());
    const std::size_t done = iconv(cd, &source, &inLeft, &target, &outLeft);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1))
        return "<cannot convert>";
    out.resize(target - out.data());
    return out;
}

// Every test reads with a page of its own and leaves the Western page in use.
class AnsiCodePageTest : public ::testing::Test {
protected:
    void TearDown() override { AnsiCodePage::use(AnsiCodePage::kWestern); }
    static void read(int page) { ASSERT_TRUE(AnsiCodePage::use(page)) << page; }
};

std::string units(const QString& text)
{
    QString out;
    for (QChar c : text)
        out += QString::asprintf("%04X ", c.unicode());
    return out.trimmed().toStdString();
}

}

// The names a localized Visual Basic gives new projects, and words with each page's own letters,
// read from the bytes glibc writes for them, and written back to the same bytes.
TEST_F(AnsiCodePageTest, EveryPageReadsAndWritesItsOwnLettersAsGlibcDoes)
{
    struct Case {
        int page;
        const char* iconvName;
        const char* text;
    };
    const Case cases[] = {
        {936, "CP936", "工程1 程序\\库"},
        {932, "CP932", "プロジェクト1 表示\\ソフト ｶﾅ"},
        {949, "CP949", "프로젝트1 똠방각하"},
        {950, "CP950", "專案1 許功蓋"},
        {1250, "CP1250", "Projekt1 Łódź Příliš"},
        {1251, "CP1251", "Проект1 Программы Ёё"},
        {1253, "CP1253", "Έργο1 Ωμέγα"},
        {1254, "CP1254", "Proje1 Işığı ğüş"},
        {1255, "CP1255", "פרויקט1"},
        {1256, "CP1256", "مشروع1"},
        {1257, "CP1257", "Projektas1 ąčęėįšųūž"},
        {1258, "CP1258", "Dự án1"},
        {874, "CP874", "โครงการ1"},
        {65001, "UTF-8", "工程1 Проект1"},
    };
    for (const Case& c : cases) {
        read(c.page);
        const QString text = QString::fromUtf8(c.text);
        const QByteArray bytes = iconvFromUtf8(c.iconvName, text);
        // Vietnamese keeps some letters as a base and a combining mark.
        const QString expected = c.page == 1258 ? QString::fromUtf8(c.text).normalized(QString::NormalizationForm_D) : text;
        EXPECT_EQ(AnsiCodePage::decode(std::string_view(bytes.constData(), bytes.size())).normalized(QString::NormalizationForm_D),
                  expected.normalized(QString::NormalizationForm_D)) << c.page;
        if (c.page != 1258) {
            EXPECT_EQ(AnsiCodePage::encode(text), bytes) << c.page;
        }
    }
}

// Windows' own variants: CP932 reads 0x5C as a backslash and 0x7E as a tilde (not a yen sign and
// an overline as Shift_JIS), and its NEC and IBM rows; CP936 is GBK with the euro at 0x80.
TEST_F(AnsiCodePageTest, DoubleBytePagesAreWindowsVariants)
{
    read(932);
    EXPECT_EQ(units(AnsiCodePage::decode("\\~\x87\x40\xfa\x40")), "005C 007E 2460 2170");
    read(936);
    EXPECT_EQ(units(AnsiCodePage::decode("\x80")), "20AC");
    read(949);
    EXPECT_EQ(units(AnsiCodePage::decode("\x81\x41")), "AC02"); // an extended (UHC) syllable
}

// Decoding is total: whatever the bytes, every one is accounted for; nothing is dropped, no
// control character appears that was not in the file, and what follows a bad byte is read.
TEST_F(AnsiCodePageTest, BadBytesBecomeReplacementCharactersAndNothingElseIsLost)
{
    read(936);
    EXPECT_EQ(units(AnsiCodePage::decode("A\xb9")), "0041 FFFD");           // cut short at the end
    EXPECT_EQ(units(AnsiCodePage::decode("\xb9\r\n")), "FFFD 000D 000A");   // a lead byte before CR LF
    EXPECT_EQ(units(AnsiCodePage::decode("\xb9\"x\"")), "FFFD 0022 0078 0022"); // an invalid trail byte
    EXPECT_EQ(units(AnsiCodePage::decode("\xff")), "F8F5"); // as Windows maps it
    EXPECT_EQ(units(AnsiCodePage::decode(std::string_view("\x1a\x00\xb9\xa4", 4))), "001A 0000 5DE5");
    read(932);
    EXPECT_EQ(units(AnsiCodePage::decode("\xa0\x81\x1a\x1c\x7f")), "FFFD FFFD 001A 001C 007F"); // controls are themselves
    EXPECT_EQ(units(AnsiCodePage::decode("\x95\x5c\x95")), "8868 FFFD");     // 0x5C inside a character
    read(1253);
    EXPECT_EQ(units(AnsiCodePage::decode("\xd2\xc1")), "FFFD 0391");
    read(65001);
    EXPECT_EQ(units(AnsiCodePage::decode("\xe5\xb7\xa5\xe5\xb7")), "5DE5 FFFD");
    // A long line of nothing but bad bytes stays one character per byte.
    read(932);
    EXPECT_EQ(AnsiCodePage::decode(std::string(100000, '\xa0')), QString(100000, QChar(0xFFFD)));
}

// What the page lacks is written as '?', as Windows writes it, one per character; encodeChar
// gives each character's bytes for the rich text, or none.
TEST_F(AnsiCodePageTest, WritingKeepsOneQuestionMarkPerMissingCharacter)
{
    read(1251);
    EXPECT_EQ(AnsiCodePage::encode(QString::fromUtf8("Ж工€é😀")), QByteArray("\xc6?\x88??"));
    read(932);
    EXPECT_EQ(AnsiCodePage::encode(QString::fromUtf8("\x1a\x1c\x7f表\r\n")), QByteArray("\x1a\x1c\x7f\x95\x5c\r\n"));
    read(936);
    char bytes[2];
    EXPECT_EQ(AnsiCodePage::encodeChar(u'工', bytes), 2);
    EXPECT_EQ(QByteArray(bytes, 2), QByteArray("\xb9\xa4"));
    EXPECT_EQ(AnsiCodePage::encodeChar(u'ש', bytes), 0);
    EXPECT_EQ(AnsiCodePage::encodeChar(u'?', bytes), 1);
    read(AnsiCodePage::kWestern);
    EXPECT_EQ(AnsiCodePage::encodeChar(u'€', bytes), 1);
    EXPECT_EQ(bytes[0], '\x80');
    EXPECT_EQ(AnsiCodePage::encodeChar(u'Ж', bytes), 0);
}

TEST_F(AnsiCodePageTest, OnlyWindowsAnsiPagesCanBeUsed)
{
    for (int page : {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 65001})
        EXPECT_TRUE(AnsiCodePage::isServed(page)) << page;
    for (int page : {0, 1, 437, 850, 1200, 1259, 20127, 54936, 99999, -936})
        EXPECT_FALSE(AnsiCodePage::isServed(page)) << page;
    EXPECT_FALSE(AnsiCodePage::use(1200));
    EXPECT_EQ(AnsiCodePage::current(), AnsiCodePage::kWestern);
}
