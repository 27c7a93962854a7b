#include "platform/core/ProgramError.h"
#include "platform/richtext/RichTextBox.h"
#include "platform/richtext/RtfWriter.h"
#include "support_files/FileBytes.h"
#include "support_files/TempPrefix.h"
#include "support_files/TestApplication.h"

#include <QFile>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <QTextCursor>
#include <tuple>

namespace {

class RichTextBoxTest : public ::testing::Test {
protected:
    void SetUp() override { TestApplication(); }
    RichTextBox box;
};

}

TEST_F(RichTextBoxTest, TextReadsBackWithCrLfAndOffsetsCountThemAsTwo)
{
    box.SetText("uno\ndos\r\ntres\rcuatro\r\n");
    EXPECT_EQ(box.Text(), "uno\r\ndos\r\ntres\r\ncuatro\r\n");

    box.SetSelStart(10);  // "tres"
    box.SetSelLength(4);
    EXPECT_EQ(box.SelText(), "tres");
    box.SetSelBold(true);
    box.SetSelStart(5);   // "dos\r\nt": a selection across a line break
    box.SetSelLength(6);
    box.SetSelUnderline(true);

    // A line break carries no style of its own.
    QList<std::tuple<int, int, bool, bool>> runs;
    for (const TextRun& run : box.Runs())
        runs.append({run.start, run.length, run.bold, run.underline});
    EXPECT_EQ(runs, (QList<std::tuple<int, int, bool, bool>>{
                        {0, 5, false, false}, {5, 3, false, true}, {8, 2, false, false}, {10, 1, true, true},
                        {11, 3, true, false}, {14, 10, false, false}}));
}

TEST_F(RichTextBoxTest, SelectionRulesFollowTheControl)
{
    box.SetText("abc\r\ndef");
    box.SetSelStart(99);
    EXPECT_EQ(box.SelStart(), 8) << "clamped to the end";
    box.SetSelStart(2);
    box.SetSelLength(99);
    EXPECT_EQ(box.SelLength(), 6);
    try {
        box.SetSelLength(-1);
        FAIL() << "a negative length is refused";
    } catch (const ProgramError& error) {
        EXPECT_EQ(error.Number, 380);
    }
    box.SetSelStart(0);
    box.SetSelLength(2);
    box.SetSelBold(true);
    box.SetSelLength(4);
    EXPECT_EQ(box.SelBold(), std::nullopt) << "a mixed selection has no single style";
}

TEST_F(RichTextBoxTest, MarksTheDocumentWouldTakeForBreaksStayCharacters)
{
    const QString text = QString("a") + QChar(0xFDD0) + "b" + QChar(0x2028) + "c\t\u00A0d";
    box.SetText(text);
    EXPECT_EQ(box.Text().size(), text.size());
    EXPECT_FALSE(box.Text().contains("\r\n"));
}

TEST_F(RichTextBoxTest, PlainTextIsSavedInTheAnsiCodePageWithCrLfReplacingTheFile)
{
    TempPrefix prefix;
    prefix.writeFile("tmp/informe.txt", "old contents that are longer than the new ones");
    box.SetText("Tamaño: ñ €\nfin");
    box.SaveFile("C:\\tmp\\informe.txt", RichTextFormat::rtfText);
    EXPECT_EQ(readAll(prefix.hostPath("tmp/informe.txt")), QByteArray("Tama\xf1o: \xf1 \x80\r\nfin"));

    try {
        box.SaveFile("C:\\no\\existe\\informe.txt", RichTextFormat::rtfText);
        FAIL() << "a missing folder is an error";
    } catch (const ProgramError& error) {
        EXPECT_EQ(error.Number, 76);
    }
}

TEST_F(RichTextBoxTest, TheSelectionOrElseEverythingIsWhatPrints)
{
    box.SetText("primera\r\nsegunda\r\n");
    EXPECT_EQ(box.SelectionDocument()->toPlainText(), "primera\nsegunda\n");
    box.SetSelStart(9);
    box.SetSelLength(7);
    EXPECT_EQ(box.SelectionDocument()->toPlainText(), "segunda");
}

TEST_F(RichTextBoxTest, AViewSharesTheContentAndTheSelection)
{
    box.SetText("uno\r\ndos");
    RichTextView view(box);
    QTextCursor cursor(view.document());
    cursor.setPosition(4);
    cursor.setPosition(7, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
    EXPECT_EQ(box.SelStart(), 5);
    EXPECT_EQ(box.SelText(), "dos");
    view.insertPlainText("tres");
    EXPECT_EQ(box.Text(), "uno\r\ntres");
}

TEST_F(RichTextBoxTest, TakingAnotherBoxsContentMovesItWholeAndTheViewFollows)
{
    box.SetText("viejo");
    RichTextView view(box);
    RichTextBox built;
    built.SetText("uno\r\ndos tres");
    built.StyleRanges({{5, 3, true, false, true}});
    built.SetSelStart(9);
    built.SetSelLength(4);

    box.TakeContent(built);
    EXPECT_EQ(box.Text(), "uno\r\ndos tres");
    EXPECT_EQ(box.SelText(), "tres");
    EXPECT_EQ(box.SelBold(), false);
    box.SetSelStart(5);
    box.SetSelLength(3);
    EXPECT_EQ(box.SelBold(), true);
    EXPECT_EQ(box.SelItalic(), true);
    EXPECT_EQ(view.document(), box.document());
    EXPECT_EQ(view.toPlainText(), "uno\ndos tres");
    EXPECT_EQ(built.Text(), "");

    // Both boxes still follow the edits of their own documents, and only those.
    built.SetText("otro\r\ntexto\r\nmas");
    view.moveCursor(QTextCursor::End);
    view.insertPlainText("\ncuatro");
    EXPECT_EQ(box.Text(), "uno\r\ndos tres\r\ncuatro");
    box.SetSelStart(15);
    box.SetSelLength(6);
    EXPECT_EQ(box.SelText(), "cuatro");
    built.SetSelStart(13);
    built.SetSelLength(3);
    EXPECT_EQ(built.SelText(), "mas");
}

TEST_F(RichTextBoxTest, StylingRangesKeepsThemInsideTheText)
{
    box.SetText("ab\r\ncd");
    // Past the end, negative lengths and starts, a range that ends inside a line break.
    box.StyleRanges({{4, 99, true, true, false}, {-3, 1, true, false, false}, {1, -2, true, false, true}, {1, 2, false, true, true}});
    QList<std::tuple<int, int, bool, bool, bool>> runs;
    for (const TextRun& run : box.Runs())
        runs.append({run.start, run.length, run.bold, run.underline, run.italic});
    EXPECT_EQ(runs, (QList<std::tuple<int, int, bool, bool, bool>>{
                        {0, 1, true, false, false}, {1, 1, false, true, true}, {2, 2, false, false, false},
                        {4, 2, true, true, false}}));
}

TEST(RtfWriter, EscapesWhatRichTextReservesAndWritesTheAnsiPageAsBytes)
{
    EXPECT_EQ(RtfWriter::EscapeText("a{b}\\c\td"), QByteArray("a\\{b\\}\\\\c\\tab d"));
    EXPECT_EQ(RtfWriter::EscapeText("ó€\r\nx\ny"), QByteArray("\\'f3\\'80\\par\r\nx\\par\r\ny"));
    EXPECT_EQ(RtfWriter::EscapeText(QString::fromUtf8("中Ω")), QByteArray("\\u20013?\\u937?"));
    EXPECT_EQ(RtfWriter::EscapeText(QString::fromUtf8("😀")), QByteArray("\\u-10179?\\u-8704?"));

    const QByteArray rtf = RtfWriter::Write({{"Título", true, true, false}, {" normal\r\n", false, false, false}},
                                            "Courier New", 9.75);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 Courier New;}}"));
    EXPECT_TRUE(rtf.contains("\\fs20 \\b\\ul T\\'edtulo\\b0\\ulnone  normal\\par"));
    EXPECT_TRUE(rtf.endsWith("}\r\n"));
}
