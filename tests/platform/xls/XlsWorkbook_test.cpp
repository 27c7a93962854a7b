#include "platform/core/ProgramError.h"
#include "platform/xls/CompoundFile.h"
#include "platform/xls/SpreadGrid.h"
#include "platform/xls/XlsWorkbook.h"
#include "support_files/ErrorNumber.h"
#include "support_files/IndependentReaders.h"
#include "support_files/FileBytes.h"
#include "support_files/TempPrefix.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QDir>
#include <QFileInfo>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <sys/file.h>
#include <unistd.h>
#include <gtest/gtest.h>

namespace {

void writeHostFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Saves the grid in a temporary prefix and reads it back with xlrd.
XlsReadBack saveAndRead(SpreadGrid& grid, const TempPrefix& prefix, const QString& sheetName = QStringLiteral("Hoja"))
{
    prefix.makeFolder(QStringLiteral("out"));
    EXPECT_TRUE(grid.ExportToExcel(QStringLiteral("c:\\out\\libro.xls"), sheetName, QStringLiteral("c:\\out\\libro.log")));
    return ReadXls(prefix.hostPath(QStringLiteral("out/libro.xls")));
}


}

TEST(SpreadGrid, TheRowCountEmptiesRowsWhenLoweredAndGrowsWhenWrittenPast)
{
    SpreadGrid grid;
    grid.SetMaxRows(10);
    grid.SetText(1, 1, QStringLiteral("a"));
    grid.SetText(3, 8, QStringLiteral("b"));
    EXPECT_EQ(grid.DataRowCnt(), 8);
    grid.SetMaxRows(5);
    EXPECT_EQ(grid.DataRowCnt(), 1) << "row 8 went with the rows past the new count";
    grid.SetMaxRows(10);
    EXPECT_EQ(grid.DataRowCnt(), 1) << "raising the count again does not bring row 8 back";

    grid.SetText(2, 12, QStringLiteral("c"));
    EXPECT_EQ(grid.MaxRows(), 12) << "writing past the count keeps the row";
    EXPECT_EQ(grid.DataRowCnt(), 12);

    grid.SetText(2, 12, QString());
    EXPECT_EQ(grid.DataRowCnt(), 1) << "an emptied last row no longer holds data";
    grid.SetMaxRows(0);
    EXPECT_EQ(grid.DataRowCnt(), 0);
}

TEST(SpreadGrid, CellsOutsideTheSheetAndNegativeCountsRaiseInvalidPropertyValue)
{
    SpreadGrid grid;
    EXPECT_EQ(errorNumberOf([&] { grid.SetText(0, 1, QStringLiteral("x")); }), 380);
    EXPECT_EQ(errorNumberOf([&] { grid.SetText(257, 1, QStringLiteral("x")); }), 380);
    EXPECT_EQ(errorNumberOf([&] { grid.SetText(1, 0, QStringLiteral("x")); }), 380);
    EXPECT_EQ(errorNumberOf([&] { grid.SetText(1, 65537, QStringLiteral("x")); }), 380);
    EXPECT_EQ(errorNumberOf([&] { grid.SetMaxRows(-1); }), 380);
    EXPECT_EQ(errorNumberOf([&] { grid.SetText(256, 65536, QStringLiteral("x")); }), 0);
    EXPECT_EQ(grid.DataRowCnt(), 65536);
}

TEST(XlsWorkbook, SheetNamesBecomeNamesSpreadsheetProgramsAccept)
{
    EXPECT_EQ(XlsWorkbook::StoredSheetName(QStringLiteral("componentes/referencias")),
              QStringLiteral("componentes\u2215referencias"));
    EXPECT_EQ(XlsWorkbook::StoredSheetName(QStringLiteral("a\\b?c*d[e]f:g\th")), QStringLiteral("a_b_c_d_e_f_g_h"));
    EXPECT_EQ(XlsWorkbook::StoredSheetName(QStringLiteral("'citado'")), QStringLiteral("_citado_"));
    EXPECT_EQ(XlsWorkbook::StoredSheetName(QString()), QStringLiteral("Hoja1"));
    EXPECT_EQ(XlsWorkbook::StoredSheetName(QString(40, u'x')).size(), 31);
    // A pair of surrogates straddling the limit is dropped whole.
    const QString name = QString(30, u'x') + QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(XlsWorkbook::StoredSheetName(name), QString(30, u'x'));
}

TEST(XlsWorkbook, AnIndependentReaderGetsBackEveryTextExactly)
{
    REQUIRE_JUDGE(HaveXlrd(), "python3-xlrd");
    TempPrefix prefix;
    SpreadGrid grid;
    QRandomGenerator random(7);
    // Texts that cross the 8,224-byte record limit of the string table in both encodings, texts
    // of every length around the limits of the format, every control character, and enough
    // distinct texts to need many buckets in the string table's index.
    QList<QString> texts = {
        QStringLiteral("Descripción del módulo: Tamaño, Versión, Año"),
        QString(300, u'ñ'),
        QString(9000, u'a'),
        QString(9001, u'\u20AC'),
        QStringLiteral("tab\there, cr\rlf\nend, bell\x07, del\x7F, nul") + QChar(0) + QStringLiteral("after"),
        QString::fromUtf8("emoji \xF0\x9F\x98\x80 pair, CJK \xE6\xBC\xA2\xE5\xAD\x97"),
        QString(32767, u'z'),
        QStringLiteral("\"comillas\", 'apóstrofos'; comas"),
    };
    for (int i = 0; i < 3000; ++i) {
        QString t = QStringLiteral("texto %1 ").arg(i);
        const int length = int(random.bounded(0, 40));
        for (int k = 0; k < length; ++k)
            t += QChar(char16_t(random.bounded(0x20, 0x2FF)));
        texts.append(t);
    }
    for (int i = 0; i < texts.size(); ++i)
        grid.SetText(i % 9 + 1, i / 9 + 1, texts[i]);
    const XlsReadBack book = saveAndRead(grid, prefix);
    ASSERT_TRUE(book.ok) << book.error.toStdString();
    EXPECT_TRUE(book.log.isEmpty()) << "xlrd: " << book.log.toStdString();
    ASSERT_EQ(book.sheets.size(), 1);
    const XlsSheetReadBack& sheet = book.sheets[0];
    ASSERT_EQ(sheet.nrows, (texts.size() + 8) / 9);
    ASSERT_EQ(sheet.ncols, 9);
    for (int i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(sheet.types[i / 9][i % 9], 1) << "cell " << i;
        ASSERT_EQ(sheet.rows[i / 9][i % 9], texts[i]) << "cell " << i;
    }
}

TEST(XlsWorkbook, OverlongTextsAreCutAndUnpairedSurrogatesReplacedAndTheLogSaysSo)
{
    REQUIRE_JUDGE(HaveXlrd(), "python3-xlrd");
    TempPrefix prefix;
    SpreadGrid grid;
    QString overlong(40000, u'x');
    overlong[32766] = QChar(0xD83D); // a pair that the limit would split
    overlong[32767] = QChar(0xDE00);
    grid.SetText(1, 1, overlong);
    grid.SetText(2, 1, QStringLiteral("solo ") + QChar(0xDC00) + QStringLiteral(" bajo"));
    const XlsReadBack book = saveAndRead(grid, prefix);
    ASSERT_TRUE(book.ok) << book.error.toStdString();
    EXPECT_EQ(book.sheets[0].rows[0][0], QString(32766, u'x'));
    EXPECT_EQ(book.sheets[0].rows[0][1], QStringLiteral("solo \uFFFD bajo"));

    const QString text = QString::fromUtf8(readAll(prefix.hostPath(QStringLiteral("out/libro.log"))));
    EXPECT_TRUE(text.contains(QStringLiteral("Changed texts: 2\r\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("row 1, column 1: text of 40000 characters cut to 32766")));
    EXPECT_TRUE(text.contains(QStringLiteral("row 1, column 2: unpaired surrogate replaced by U+FFFD")));
}

TEST(XlsWorkbook, DimensionsAndRowBlocksFollowASparseSheet)
{
    REQUIRE_JUDGE(HaveXlrd(), "python3-xlrd");
    TempPrefix prefix;
    SpreadGrid grid;
    // Data starts below row 1 and right of column A, leaves whole 32-row blocks empty, and
    // reaches the last column; the row count cuts off a cell past it.
    grid.SetText(3, 5, QStringLiteral("primera"));
    grid.SetText(256, 40, QStringLiteral("última columna"));
    grid.SetText(4, 200, QStringLiteral("lejos"));
    grid.SetText(5, 300, QStringLiteral("fuera"));
    grid.SetMaxRows(250);
    const XlsReadBack book = saveAndRead(grid, prefix);
    ASSERT_TRUE(book.ok) << book.error.toStdString();
    EXPECT_TRUE(book.log.isEmpty()) << "xlrd: " << book.log.toStdString();
    ASSERT_EQ(book.dimensions.size(), 1);
    EXPECT_EQ(book.dimensions[0], (QList<qint64>{4, 200, 2, 256}));
    const XlsSheetReadBack& sheet = book.sheets[0];
    EXPECT_EQ(sheet.nrows, 200);
    EXPECT_EQ(sheet.ncols, 256);
    EXPECT_EQ(sheet.rows[4][2], QStringLiteral("primera"));
    EXPECT_EQ(sheet.rows[39][255], QStringLiteral("última columna"));
    EXPECT_EQ(sheet.rows[199][3], QStringLiteral("lejos"));
    EXPECT_EQ(sheet.types[0][0], 0);
}

TEST(XlsWorkbook, AnEmptySheetHasZeroDimensions)
{
    REQUIRE_JUDGE(HaveXlrd(), "python3-xlrd");
    TempPrefix prefix;
    SpreadGrid grid;
    const XlsReadBack book = saveAndRead(grid, prefix, QStringLiteral("componentes/referencias"));
    ASSERT_TRUE(book.ok) << book.error.toStdString();
    EXPECT_TRUE(book.log.isEmpty()) << "xlrd: " << book.log.toStdString();
    ASSERT_EQ(book.sheets.size(), 1);
    EXPECT_EQ(book.sheets[0].name, QStringLiteral("componentes\u2215referencias"));
    EXPECT_EQ(book.sheets[0].nrows, 0);
    EXPECT_EQ(book.dimensions, (QList<QList<qint64>>{{0, 0, 0, 0}}));
}

TEST(CompoundFile, ALargeStreamNeedsMoreAllocationSectorsThanTheHeaderListsAndStillReadsBack)
{
    REQUIRE_JUDGE(HaveXlrd(), "python3-xlrd");
    TempPrefix prefix;
    // 9 MB needs about 140 allocation sectors, past the 109 the header holds.
    QByteArray stream(9 * 1024 * 1024 + 123, '\0');
    QRandomGenerator random(11);
    for (qsizetype i = 0; i < stream.size(); i += 4) {
        const quint32 word = random.generate();
        std::memcpy(stream.data() + i, &word, size_t(std::min<qsizetype>(4, stream.size() - i)));
    }
    const QByteArray file = CompoundFile::WithOneStream(QStringLiteral("Workbook"), stream);
    EXPECT_EQ(file.size() % 512, 0);
    const QString path = prefix.hostPath(QStringLiteral("grande.xls"));
    writeHostFile(path, file);
    qint64 size = 0;
    QString sha, error;
    ASSERT_TRUE(ReadXlsStream(path, &size, &sha, &error)) << error.toStdString();
    EXPECT_EQ(error, QString());
    EXPECT_EQ(size, stream.size());
    EXPECT_EQ(sha, QString::fromLatin1(QCryptographicHash::hash(stream, QCryptographicHash::Sha256).toHex()));
}

TEST(CompoundFile, AShortStreamIsPaddedOutOfTheMiniStream)
{
    REQUIRE_JUDGE(HaveXlrd(), "python3-xlrd");
    TempPrefix prefix;
    const QByteArray stream("short stream");
    const QString path = prefix.hostPath(QStringLiteral("corto.xls"));
    writeHostFile(path, CompoundFile::WithOneStream(QStringLiteral("Workbook"), stream));
    qint64 size = 0;
    QString sha, error;
    ASSERT_TRUE(ReadXlsStream(path, &size, &sha, &error)) << error.toStdString();
    EXPECT_EQ(size, 4096);
}

TEST(SpreadGrid, AnotherRunsExportIntoTheFolderIsWaitedForSoEachLogDescribesItsOwnWorkbook)
{
    TempPrefix prefix;
    prefix.makeFolder(QStringLiteral("out"));
    const QString folder = prefix.hostPath(QStringLiteral("out"));
    SpreadGrid grid;
    grid.SetText(1, 1, QStringLiteral("uno"));

    // Another run in the middle of writing its pair holds the folder.
    const int other = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    auto saved = std::async(std::launch::async, [&] {
        return grid.ExportToExcel(QStringLiteral("c:\\out\\libro.xls"), QStringLiteral("Hoja"),
                                  QStringLiteral("c:\\out\\libro.log"));
    });
    EXPECT_EQ(saved.wait_for(std::chrono::milliseconds(700)), std::future_status::timeout)
        << "the export did not wait for the other run";
    EXPECT_FALSE(QFileInfo::exists(prefix.hostPath(QStringLiteral("out/libro.xls"))));
    ::close(other);
    ASSERT_TRUE(saved.get());

    const QByteArray workbook = readAll(prefix.hostPath(QStringLiteral("out/libro.xls")));
    const QByteArray log = readAll(prefix.hostPath(QStringLiteral("out/libro.log")));
    EXPECT_TRUE(log.contains("Result: written, " + QByteArray::number(workbook.size()) + " bytes")) << log.constData();
    EXPECT_FALSE(grid.LogFailure().failed());
}

TEST(SpreadGrid, ALogThatCannotReplaceTheOldOneIsToldApartFromTheWrittenWorkbook)
{
    TempPrefix prefix;
    prefix.makeFolder(QStringLiteral("out/libro.log")); // a folder in the log's place
    SpreadGrid grid;
    grid.SetText(1, 1, QStringLiteral("uno"));
    EXPECT_TRUE(grid.ExportToExcel(QStringLiteral("c:\\out\\libro.xls"), QStringLiteral("Hoja"),
                                   QStringLiteral("c:\\out\\libro.log")));
    EXPECT_TRUE(readAll(prefix.hostPath(QStringLiteral("out/libro.xls"))).startsWith("\xD0\xCF\x11\xE0"));
    EXPECT_FALSE(grid.LastFailure().failed());
    ASSERT_TRUE(grid.LogFailure().failed()) << "the log that was not written went unsaid";
    EXPECT_EQ(grid.LogFailure().path, prefix.hostPath(QStringLiteral("out/libro.log")));
    EXPECT_EQ(QDir(prefix.hostPath(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("libro.xls")})
        << "no temporary file is left";
}
