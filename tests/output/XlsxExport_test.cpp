#include "output/XlsxExport.h"

#include "catalogue/Catalogue.h"
#include "platform/files/HostNames.h"
#include "support_files/CatalogueFixtures.h"
#include "support_files/FileBytes.h"
#include "support_files/IndependentReaders.h"
#include "support_files/TempPrefix.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>
#include <gtest/gtest.h>

namespace {

DependencyEntry entry(const QString& path, int sizeKB, int major, int minor, const QString& date)
{
    DependencyEntry e;
    e.Kind = DependencyKind::Reference;
    e.FilePath = path;
    e.Guid = QStringLiteral("{00020430-0000-0000-C000-000000000046}");
    e.Description = QStringLiteral("Biblioteca ñandú");
    e.MajorVersion = major;
    e.MinorVersion = minor;
    e.SizeKB = sizeKB;
    e.FileDate = date;
    return e;
}

class XlsxExportTest : public ::testing::Test {
protected:
    void SetUp() override { prefix.makeFolder("salida"); }
    QString workbook() const { return prefix.hostPath("salida/proyectos.xlsx"); }
    bool exportTo(const QString& folder = QStringLiteral("c:\\salida"))
    {
        problem.clear();
        return ExportarXlsx(catalogue, folder, &problem);
    }

    TempPrefix prefix;
    Catalogue catalogue;
    QString problem;
};

}

TEST_F(XlsxExportTest, TheSameSheetWithNumbersAndDatesReadByOpenpyxlAndLibreOffice)
{
    REQUIRE_JUDGE(HaveOpenpyxl(), "python3-openpyxl");
    AddProject(catalogue, "Ventas.vbp", ProjectKind::Exe, "Ventas",
               {entry("C:\\windows\\system32\\stdole2.tlb", 12, 2, 0, "07/12/2026 10:20:30"),
                entry("C:\\libs\\grid.ocx", 1024, 1, 10, "")});
    // A hostile name: a control character that XML cannot carry, and text that looks like markup;
    // file names with bytes that are not text, as a folder listing holds them.
    AddProject(catalogue, HostNames::decode("Raro\xff.vbp"), ProjectKind::Control, QString("a\x01<b>&"),
               {entry(HostNames::decode("C:\\x\xfe.dll"), 0, 0, 0, "31/02/2026 00:00:00")});
    AddProject(catalogue, "Vacio.vbp", ProjectKind::Exe, "Vacio", {});
    ASSERT_TRUE(exportTo()) << problem.toStdString();
    EXPECT_EQ(QDir(prefix.hostPath("salida")).entryList(QDir::Files | QDir::Hidden), QStringList{"proyectos.xlsx"})
        << "no temporary file is left behind";

    const XlsxReadBack book = ReadXlsx(workbook());
    ASSERT_TRUE(book.ok) << book.error.toStdString();
    ASSERT_EQ(book.sheets.size(), 1);
    const XlsxSheetReadBack& sheet = book.sheets[0];
    EXPECT_EQ(sheet.name, QString::fromUtf8("componentes∕referencias")) << "the .xls sheet's name";
    // Header, empty row, two rows of Ventas, empty row, one row of Raro (Vacio has no row).
    ASSERT_EQ(sheet.maxRow, 6);
    EXPECT_EQ(sheet.rows[0][0].text, QString::fromUtf8("Nombre Físico"));
    EXPECT_EQ(sheet.rows[0][8].text, QString::fromUtf8("Versión"));
    for (const XlsxCell& c : sheet.rows[1])
        EXPECT_EQ(c.kind, "empty");

    const QList<XlsxCell>& first = sheet.rows[2];
    EXPECT_EQ(first[0].text, "Ventas.vbp");
    EXPECT_EQ(first[2].text, "Exe");
    EXPECT_EQ(first[3].text, "C:\\windows\\system32\\stdole2.tlb");
    EXPECT_EQ(first[4].kind, "number");
    EXPECT_EQ(first[4].number, 12);
    EXPECT_EQ(first[5].kind, "date");
    EXPECT_EQ(first[5].text, "2026-12-07T10:20:30");
    EXPECT_EQ(first[6].text, QString::fromUtf8("Biblioteca ñandú"));
    EXPECT_EQ(first[8].kind, "number");
    EXPECT_EQ(first[8].number, 2.0);
    EXPECT_EQ(first[8].format, "0.0");

    const QList<XlsxCell>& second = sheet.rows[3];
    EXPECT_EQ(second[4].number, 1024);
    EXPECT_EQ(second[5].kind, "empty") << "an unknown date stays blank";
    EXPECT_EQ(second[8].number, 1.1);
    EXPECT_EQ(second[8].format, "0.00") << "shown as 1.10, as the library says";

    const QList<XlsxCell>& odd = sheet.rows[5];
    EXPECT_EQ(odd[0].text, "Raro\\xFF.vbp");
    EXPECT_EQ(odd[1].text, "a?<b>&");
    EXPECT_EQ(odd[3].text, "C:\\x\\xFE.dll");
    EXPECT_EQ(odd[2].text, "OCX");
    EXPECT_EQ(odd[5].kind, "text") << "a date that is no date stays as written";
    EXPECT_EQ(odd[5].text, "31/02/2026 00:00:00");

    REQUIRE_JUDGE(HaveLibreOffice(), "libreoffice-calc-nogui");
    QList<QStringList> rows;
    QString error;
    ASSERT_TRUE(LibreOfficeCsv(workbook(), &rows, &error)) << error.toStdString();
    ASSERT_GE(rows.size(), 4);
    // Shown as the .xls export shows them: "12 KB", the date, "2.0" and "1.10".
    EXPECT_EQ(rows[2], (QStringList{"Ventas.vbp", "Ventas", "Exe", "C:\\windows\\system32\\stdole2.tlb", "12 KB",
                                    "07/12/2026 10:20:30", QString::fromUtf8("Biblioteca ñandú"),
                                    "{00020430-0000-0000-C000-000000000046}", "2.0"}));
    EXPECT_EQ(rows[3][4], "1024 KB");
    EXPECT_EQ(rows[3][8], "1.10");
}

TEST_F(XlsxExportTest, HoldsMoreRowsThanTheXlsLimit)
{
    REQUIRE_JUDGE(HaveOpenpyxl(), "python3-openpyxl");
    QList<DependencyEntry> entries;
    for (int i = 0; i < 40000; ++i)
        entries.append(entry(QString("C:\\libs\\lib%1.dll").arg(i), i, 1, 0, "01/01/2020 00:00:00"));
    AddProject(catalogue, "Enorme.vbp", ProjectKind::Exe, "Enorme", entries);
    ASSERT_TRUE(exportTo()) << problem.toStdString();
    const XlsxReadBack book = ReadXlsx(workbook(), true);
    ASSERT_TRUE(book.ok) << book.error.toStdString();
    EXPECT_EQ(book.sheets[0].maxRow, 40002);
    ASSERT_EQ(book.sheets[0].lastRow.size(), 9);
    EXPECT_EQ(book.sheets[0].lastRow[3], "C:\\libs\\lib39999.dll");
    EXPECT_EQ(book.sheets[0].lastRow[4], "39999");
}

TEST_F(XlsxExportTest, AFolderThatCannotTakeTheWorkbookFailsAndKeepsTheEarlierFile)
{
    AddProject(catalogue, "A.vbp", ProjectKind::Exe, "A", {entry("C:\\a.dll", 1, 1, 0, "")});
    EXPECT_FALSE(exportTo("c:\\no\\existe"));
    EXPECT_TRUE(problem.contains("c:\\no\\existe")) << problem.toStdString();
    EXPECT_FALSE(QFile::exists(prefix.hostPath("no")));

    ASSERT_TRUE(exportTo()) << problem.toStdString();
    const QByteArray earlier = readAll(workbook());
    // A folder where the workbook's name is taken by a folder: the write fails at the rename.
    prefix.makeFolder("otra/proyectos.xlsx");
    EXPECT_FALSE(exportTo("c:\\otra"));
    EXPECT_FALSE(problem.isEmpty());
    EXPECT_EQ(QDir(prefix.hostPath("otra")).entryList(QDir::Files | QDir::Hidden), QStringList{})
        << "the half-made workbook is removed";
    EXPECT_EQ(readAll(workbook()), earlier);
}

TEST_F(XlsxExportTest, TheWorkbookKeepsTheModeOfTheOneItReplacesAndANewOneFollowsTheUmask)
{
    AddProject(catalogue, "A.vbp", ProjectKind::Exe, "A", {entry("C:\\a.dll", 1, 1, 0, "")});
    writeAll(workbook(), "viejo");
    ASSERT_EQ(::chmod(QFile::encodeName(workbook()).constData(), 0600), 0);
    const mode_t old = ::umask(022);
    const bool replaced = exportTo();
    struct stat status {};
    ::stat(QFile::encodeName(workbook()).constData(), &status);
    const mode_t replacedMode = status.st_mode & 07777;

    ASSERT_TRUE(QFile::remove(workbook()));
    ::umask(077);
    const bool made = exportTo();
    ::umask(old);
    ASSERT_TRUE(replaced) << problem.toStdString();
    ASSERT_TRUE(made) << problem.toStdString();
    EXPECT_EQ(replacedMode, 0600u) << "a private workbook was made readable by all";
    ::stat(QFile::encodeName(workbook()).constData(), &status);
    EXPECT_EQ(status.st_mode & 07777, 0600u) << "the umask was not followed";
    EXPECT_EQ(QDir(prefix.hostPath("salida")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("proyectos.xlsx")});
}
