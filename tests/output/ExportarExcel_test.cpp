#include "output/ExportarExcel.h"

#include "catalogue/Catalogue.h"
#include "catalogue/FolderScan.h"
#include "platform/controls/MemoryControls.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/HostNames.h"
#include "platform/registry/RegistryStore.h"
#include "platform/xls/SpreadGrid.h"
#include "support_files/CatalogueFixtures.h"
#include "support_files/FileBytes.h"
#include "support_files/FixtureLibraries.h"
#include "support_files/IndependentReaders.h"
#include "support_files/TempPrefix.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

const QStringList kHeaders = {"Nombre Físico", "Nombre Lógico", "Tipo Proyecto", "Referencias/Componentes", "Tamaño",
                              "Fecha", "Descripción", "GUID", "Versión"};
const QStringList kEmptyRow(9, QString());

DependencyEntry entry(const QString& path, int sizeKB = 120, int major = 6, int minor = 0,
                      const QString& description = QStringLiteral("Biblioteca"))
{
    DependencyEntry e;
    e.Kind = DependencyKind::Reference;
    e.FilePath = path;
    e.Guid = QStringLiteral("{00020430-0000-0000-C000-000000000046}");
    e.Description = description;
    e.MajorVersion = major;
    e.MinorVersion = minor;
    e.SizeKB = sizeKB;
    e.FileDate = QStringLiteral("07/12/2026 10:20:30");
    return e;
}


// The expected sheet row of an entry of a project.
QStringList dataRow(const QString& fileName, const QString& name, const QString& kind, const DependencyEntry& e)
{
    return {fileName, name, kind, e.FilePath, QString::number(e.SizeKB) + " KB", e.FileDate, e.Description, e.Guid,
            QString::number(e.MajorVersion) + "." + QString::number(e.MinorVersion)};
}

// An export into c:\programa of a temporary prefix, recording the status texts, the wait state
// and the message boxes, and what each looked like when a box was shown.
class ExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        prefix.makeFolder("programa");
        status.Changed = [this](int panel, const QString& text) {
            if (panel == 1)
                statusTexts.append(text);
        };
        messages.onShow = [this](const MessageBoxRequest&) {
            statusAtBox = status.PanelText(1);
            waitingAtBox = waiting;
        };
    }

    bool runExport(const QString& folder = QStringLiteral("c:\\programa"))
    {
        statusTexts.clear();
        waitCalls.clear();
        messages.clear();
        return ExportarExcel(catalogue, grid, status, [this](bool on) {
            waitCalls.append(on);
            waiting = on;
        }, folder);
    }

    QString host(const QString& name) const { return prefix.hostPath("programa/" + name); }

    XlsSheetReadBack readSheet()
    {
        const XlsReadBack book = ReadXls(host("proyectos.xls"));
        EXPECT_TRUE(book.ok) << book.error.toStdString();
        EXPECT_TRUE(book.log.isEmpty()) << "xlrd: " << book.log.toStdString();
        EXPECT_EQ(book.sheets.size(), 1);
        return book.sheets.value(0);
    }

    TempPrefix prefix;
    Catalogue catalogue;
    SpreadGrid grid;
    MemoryStatusBar status;
    ScriptedMessageBoxes messages;
    QStringList statusTexts;
    QList<bool> waitCalls;
    bool waiting = false;
    QString statusAtBox;
    bool waitingAtBox = false;
};

// The two-project example with, between them, a project without entries, and a project of
// unknown kind: the layouts of every rule of the sheet.
void fillLayoutCatalogue(Catalogue& catalogue)
{
    AddProject(catalogue, "Facturas.vbp", ProjectKind::Exe, "Facturas",
               {entry("C:\\windows\\system32\\stdole2.tlb", 120, 6, 0),
                entry("C:\\windows\\system32\\MSCOMCTL.OCX", 1052, 2, 1, "Microsoft Windows Common Controls 6.0 (SP6)")});
    AddProject(catalogue, "Vacío.vbp", ProjectKind::OleDll, "Vacío", {});
    AddProject(catalogue, "c:\\tmp\\SinNombre.vbp", ProjectKind::Unknown, "",
               {entry("C:\\Archivos de programa\\Común\\señal.dll", 0, 1, 12, "Señales, «comillas» y \"dobles\"")});
}

}

TEST_F(ExportTest, AnEmptyCatalogueGivesTheHeaderRowOnly)
{
    REQUIRE_JUDGE(HaveXlrd(), "python3-xlrd");
    ASSERT_TRUE(runExport());
    EXPECT_EQ(statusTexts, (QStringList{"Exportando ...", "Listo!"}));
    EXPECT_EQ(waitCalls, (QList<bool>{true, false}));
    EXPECT_TRUE(messages.shown().isEmpty());
    const XlsSheetReadBack sheet = readSheet();
    EXPECT_EQ(sheet.name, QStringLiteral("componentes\u2215referencias"));
    ASSERT_EQ(sheet.nrows, 1);
    EXPECT_EQ(sheet.rows[0], kHeaders);
    EXPECT_EQ(sheet.types[0], QList<int>(9, 1)) << "headers are text cells";
}

TEST_F(ExportTest, TwoProjectsWithTwoAndOneEntriesFillRowsThreeToSix)
{
    REQUIRE_JUDGE(HaveXlrd(), "python3-xlrd");
    const DependencyEntry a1 = entry("C:\\windows\\system32\\stdole2.tlb", 120, 6, 0);
    const DependencyEntry a2 = entry("C:\\windows\\system32\\msado15.dll", 7, 2, 8, "Microsoft ActiveX Data Objects 2.8");
    const DependencyEntry b1 = entry("C:\\windows\\system32\\comdlg32.ocx", 150, 1, 2);
    AddProject(catalogue, "Facturas.vbp", ProjectKind::Control, "Facturas", {a1, a2});
    AddProject(catalogue, "Stock.vbp", ProjectKind::OleExe, "Stock", {b1});
    ASSERT_TRUE(runExport());
    EXPECT_EQ(statusTexts, (QStringList{"Exportando ...", "Exportando : Facturas.vbp", "Exportando : Stock.vbp", "Listo!"}));
    EXPECT_EQ(waitCalls, (QList<bool>{true, false}));

    const XlsSheetReadBack sheet = readSheet();
    const QList<QStringList> expected = {kHeaders,
                                         kEmptyRow,
                                         dataRow("Facturas.vbp", "Facturas", "OCX", a1),
                                         dataRow("Facturas.vbp", "Facturas", "OCX", a2),
                                         kEmptyRow,
                                         dataRow("Stock.vbp", "Stock", "Exe ActiveX", b1)};
    EXPECT_EQ(sheet.rows, expected);
    EXPECT_EQ(sheet.rows[2][4], "120 KB");
    EXPECT_EQ(sheet.rows[2][8], "6.0");
    EXPECT_EQ(sheet.types[1], QList<int>(9, 0)) << "row 2 stays empty";
    EXPECT_EQ(sheet.types[4], QList<int>(9, 0)) << "the row after a project stays empty";
    EXPECT_EQ(sheet.types[5], QList<int>(9, 1)) << "every data cell is text, numbers included";
}

TEST_F(ExportTest, AProjectWithoutEntriesAddsOneEmptyRowAndUnknownKindsLeaveTheKindEmpty)
{
    REQUIRE_JUDGE(HaveXlrd(), "python3-xlrd");
    fillLayoutCatalogue(catalogue);
    AddProject(catalogue, "Raro.vbp", 99, "Raro", {entry("C:\\x.dll", -1, 0, 0, QString())});
    ASSERT_TRUE(runExport());
    const Catalogue& c = catalogue;
    const XlsSheetReadBack sheet = readSheet();
    const QList<QStringList> expected = {
        kHeaders,
        kEmptyRow,
        dataRow("Facturas.vbp", "Facturas", "Exe", c.Projects[1].Dependencies[1]),
        dataRow("Facturas.vbp", "Facturas", "Exe", c.Projects[1].Dependencies[2]),
        kEmptyRow,
        kEmptyRow,
        dataRow("c:\\tmp\\SinNombre.vbp", "", "", c.Projects[3].Dependencies[1]),
        kEmptyRow,
        dataRow("Raro.vbp", "Raro", "", c.Projects[4].Dependencies[1]),
    };
    EXPECT_EQ(sheet.rows, expected);
    EXPECT_EQ(sheet.rows[8][4], "-1 KB");
    EXPECT_EQ(sheet.types[6][1], 0) << "an empty Name is an empty cell";
    EXPECT_EQ(sheet.types[6][2], 0) << "kind 0 has no label";
    EXPECT_EQ(sheet.types[8][2], 0) << "nor has a kind outside the table";
    EXPECT_TRUE(statusTexts.contains("Exportando : Vacío.vbp")) << "a project without entries is still announced";
}

TEST_F(ExportTest, FileNamesWithBytesThatAreNotTextShowThemEscaped)
{
    REQUIRE_JUDGE(HaveXlrd(), "python3-xlrd");
    const QString odd = HostNames::decode("X\xffY.vbp");
    AddProject(catalogue, odd, ProjectKind::Exe, "Raro", {entry(HostNames::decode("C:\\b\xfe.dll"), 1, 1, 0)});
    ASSERT_TRUE(runExport());
    const XlsSheetReadBack sheet = readSheet();
    ASSERT_EQ(sheet.rows.size(), 3);
    EXPECT_EQ(sheet.rows[2][0], "X\\xFFY.vbp") << "not U+FFFD, which a real name may hold";
    EXPECT_EQ(sheet.rows[2][3], "C:\\b\\xFE.dll");
    EXPECT_TRUE(statusTexts.contains("Exportando : X\\xFFY.vbp"));
}

TEST_F(ExportTest, LibreOfficeConvertsTheSheetToTheSameCells)
{
    REQUIRE_JUDGE(HaveLibreOffice(), "libreoffice-calc-nogui");
    fillLayoutCatalogue(catalogue);
    ASSERT_TRUE(runExport());
    QList<QStringList> rows;
    QString output;
    ASSERT_TRUE(LibreOfficeCsv(host("proyectos.xls"), &rows, &output)) << output.toStdString();
    EXPECT_FALSE(output.contains("Error", Qt::CaseInsensitive)) << output.toStdString();
    const Catalogue& c = catalogue;
    const QList<QStringList> expected = {
        kHeaders,
        kEmptyRow,
        dataRow("Facturas.vbp", "Facturas", "Exe", c.Projects[1].Dependencies[1]),
        dataRow("Facturas.vbp", "Facturas", "Exe", c.Projects[1].Dependencies[2]),
        kEmptyRow,
        kEmptyRow,
        dataRow("c:\\tmp\\SinNombre.vbp", "", "", c.Projects[3].Dependencies[1]),
    };
    EXPECT_EQ(rows, expected);
}

TEST_F(ExportTest, TheLogSaysWhenWhichFileWhichSheetHowManyRowsAndTheOutcome)
{
    fillLayoutCatalogue(catalogue);
    ASSERT_TRUE(runExport());
    const QString log = QString::fromUtf8(readAll(host("proyectos.log")));
    const QStringList lines = log.split("\r\n");
    ASSERT_GE(lines.size(), 9) << log.toStdString();
    EXPECT_TRUE(QRegularExpression("^Export: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$").match(lines[0]).hasMatch());
    EXPECT_EQ(lines[1], "Workbook: c:\\programa\\proyectos.xls");
    EXPECT_EQ(lines[2], QStringLiteral("Sheet: componentes\u2215referencias (asked for \"componentes/referencias\", "
                                       "a name spreadsheet programs refuse)"));
    EXPECT_EQ(lines[3], "Rows: 7");
    EXPECT_EQ(lines[4], "Columns: 9");
    EXPECT_TRUE(log.contains(QString("Result: written, %1 bytes\r\n").arg(QFileInfo(host("proyectos.xls")).size())));
}

TEST_F(ExportTest, EachExportStartsFromAnEmptyGridAndReplacesTheFiles)
{
    REQUIRE_JUDGE(HaveXlrd(), "python3-xlrd");
    fillLayoutCatalogue(catalogue);
    ASSERT_TRUE(runExport());
    catalogue.Reset();
    AddProject(catalogue, "Solo.vbp", ProjectKind::Exe, "Solo", {entry("C:\\a.dll")});
    ASSERT_TRUE(runExport());
    const XlsSheetReadBack sheet = readSheet();
    EXPECT_EQ(sheet.nrows, 3) << "nothing of the first export's longer sheet is left";
    EXPECT_EQ(sheet.rows.value(2).value(0), "Solo.vbp");
    EXPECT_EQ(QDir(host("")).entryList(QDir::Files, QDir::Name), (QStringList{"proyectos.log", "proyectos.xls"}));
}

TEST_F(ExportTest, PastTenThousandRowsTheSheetGrowsAndKeepsARowThatFollowsASeparator)
{
    REQUIRE_JUDGE(HaveXlrd(), "python3-xlrd");
    // Rows 3 to 9,999, the separator at 10,000, then a project whose first row, 10,001, lies
    // past the row count when it is written: the capacity rule looked at row 9,999.
    QList<DependencyEntry> many;
    for (int i = 0; i < 9997; ++i)
        many.append(entry(QString("C:\\libs\\lib%1.dll").arg(i)));
    AddProject(catalogue, "Grande.vbp", ProjectKind::Exe, "Grande", many);
    AddProject(catalogue, "Cola.vbp", ProjectKind::Exe, "Cola", {entry("C:\\uno.dll"), entry("C:\\dos.dll")});
    ASSERT_TRUE(runExport());
    EXPECT_EQ(grid.MaxRows(), 10002);
    const XlsSheetReadBack sheet = readSheet();
    ASSERT_EQ(sheet.nrows, 10002);
    EXPECT_EQ(sheet.rows[9998][3], "C:\\libs\\lib9996.dll");
    EXPECT_EQ(sheet.types[9999], QList<int>(9, 0));
    EXPECT_EQ(sheet.rows[10000][3], "C:\\uno.dll");
    EXPECT_EQ(sheet.rows[10001][3], "C:\\dos.dll");
}

TEST_F(ExportTest, ASheetNeedingARowPast32767FailsWithOverflowAndWritesNothing)
{
    // Rows 3 to 32,767 fit the 16-bit row counter exactly.
    QList<DependencyEntry> entries;
    for (int i = 0; i < 32765; ++i)
        entries.append(entry(QString("C:\\libs\\lib%1.dll").arg(i)));
    AddProject(catalogue, "Enorme.vbp", ProjectKind::Exe, "Enorme", entries);
    ASSERT_TRUE(runExport());
    EXPECT_TRUE(readAll(host("proyectos.log")).contains("Rows: 32767\r\n"));
    const QByteArray earlierWorkbook = readAll(host("proyectos.xls"));
    const QByteArray earlierLog = readAll(host("proyectos.log"));

    AddProject(catalogue, "Uno.vbp", ProjectKind::Exe, "Uno", {entry("C:\\uno.dll")});
    EXPECT_FALSE(runExport());
    EXPECT_EQ(messages.texts(), QStringList{"ExportarExcel : 6 Overflow"});
    EXPECT_EQ(messages.shown()[0].iconName(), "critical");
    EXPECT_EQ(statusAtBox, "Exportando : Uno.vbp") << "the box comes before the exit path";
    EXPECT_TRUE(waitingAtBox);
    EXPECT_EQ(statusTexts.last(), "Listo!");
    EXPECT_EQ(waitCalls, (QList<bool>{true, false}));
    EXPECT_EQ(readAll(host("proyectos.xls")), earlierWorkbook);
    EXPECT_EQ(readAll(host("proyectos.log")), earlierLog);
}

TEST_F(ExportTest, ASaveThatFailsShowsErrorAlExportarArchivoAndNoOtherMessage)
{
    EXPECT_FALSE(runExport("c:\\no\\existe"));
    EXPECT_EQ(messages.texts(), QStringList{"Error al Exportar archivo"});
    EXPECT_EQ(messages.shown()[0].iconName(), "critical");
    EXPECT_EQ(statusAtBox, "Exportando ...");
    EXPECT_TRUE(waitingAtBox);
    EXPECT_EQ(statusTexts.last(), "Listo!");
    EXPECT_EQ(waitCalls, (QList<bool>{true, false}));

    // A folder that is a file, and a folder outside every drive, fail the same way.
    prefix.writeFile("archivo", "x");
    EXPECT_FALSE(runExport("c:\\archivo"));
    EXPECT_FALSE(runExport("q:\\sin\\unidad"));
    EXPECT_EQ(messages.texts(), QStringList{"Error al Exportar archivo"});
}

TEST_F(ExportTest, ALoadedFolderIsExportedWholeWithNoProjectChecked)
{
    REQUIRE_JUDGE(HaveXlrd(), "python3-xlrd");
    // A library registered as Wine registers it, and two projects that reference it.
    prefix.writeFile("windows/system32/facturacion32.dll", FixtureLibraries::Bytes("facturacion32.dll"));
    const QByteArray guid = FixtureLibraries::Facturacion.toLatin1();
    prefix.writeFile("../system.reg", "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
                                      "[Software\\\\Classes\\\\TypeLib\\\\" + guid + "\\\\1.0\\\\0\\\\win32] 1700000000\n"
                                      "@=\"C:\\\\windows\\\\system32\\\\facturacion32.dll\"\n");
    RegistryStore::resetCurrent();
    const QString reference = "Reference=*\\G" + QString::fromLatin1(guid) + "#1.0#0#facturacion32.dll#Facturación";
    prefix.writeLines("src/Ventas.vbp", {"Type=Exe", reference, "Name=\"Ventas\""});
    prefix.writeLines("src/Compras.vbp", {"Type=OleDll", reference, reference, "Name=\"Compras\""});
    MemoryControls controls;
    controls.main.Dir1.SetPath("c:\\src");
    CargaProyectos(catalogue, controls.main);
    ASSERT_EQ(catalogue.ProjectCount(), 2);
    ASSERT_EQ(catalogue.DependencyCount(1), 2) << "the registered library resolves";
    for (int position = 1; position <= controls.tree.Count(); ++position)
        ASSERT_FALSE(controls.tree.Node(position).checked);

    ASSERT_TRUE(runExport());
    const Catalogue& c = catalogue;
    const DependencyEntry& e = c.Projects[1].Dependencies[1];
    EXPECT_EQ(e.FilePath, "C:\\windows\\system32\\facturacion32.dll");
    const XlsSheetReadBack sheet = readSheet();
    EXPECT_EQ(sheet.rows, (QList<QStringList>{kHeaders, kEmptyRow, dataRow("Compras.vbp", "Compras", "Dll", e),
                                              dataRow("Compras.vbp", "Compras", "Dll", e), kEmptyRow,
                                              dataRow("Ventas.vbp", "Ventas", "Exe", c.Projects[2].Dependencies[1])}));
    EXPECT_EQ(sheet.rows[2][8], "1.0");
}

TEST(ExportPaths, ADrivesRootIsJoinedWithOneBackslash)
{
    EXPECT_EQ(JoinWindowsPath("C:\\", "proyectos.xls"), "C:\\proyectos.xls");
    EXPECT_EQ(JoinWindowsPath("C:\\Zantrel", "proyectos.log"), "C:\\Zantrel\\proyectos.log");
}

// A small file system mounted over the program's folder, for the faults a real disk has: full,
// or read-only. Mounting needs root and a kernel that lets this process do it; tests skip
// where it cannot.
class MountedFolder {
public:
    MountedFolder(const QString& hostDir, const QString& options) : dir_(hostDir)
    {
        mounted_ = QProcess::execute("mount", {"-t", "tmpfs", "-o", options, "tmpfs", hostDir}) == 0;
    }
    ~MountedFolder()
    {
        if (mounted_)
            QProcess::execute("umount", {dir_});
    }
    bool mounted() const { return mounted_; }
    bool remountReadOnly() { return QProcess::execute("mount", {"-o", "remount,ro", dir_}) == 0; }

private:
    QString dir_;
    bool mounted_ = false;
};

TEST_F(ExportTest, AFullDiskLeavesTheEarlierFilesAndNoTemporaryFile)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    MountedFolder disk(host(""), "size=64k");
    if (!disk.mounted())
        GTEST_SKIP() << "this machine does not allow mounting";
    prefix.writeFile("programa/proyectos.xls", "earlier workbook");
    prefix.writeFile("programa/proyectos.log", "earlier log");
    QList<DependencyEntry> entries;
    for (int i = 0; i < 3000; ++i)
        entries.append(entry(QString("C:\\libs\\lib%1.dll").arg(i), i, 1, i));
    AddProject(catalogue, "Grande.vbp", ProjectKind::Exe, "Grande", entries);

    EXPECT_FALSE(runExport());
    EXPECT_EQ(messages.texts(), QStringList{"Error al Exportar archivo"});
    EXPECT_EQ(readAll(host("proyectos.xls")), "earlier workbook");
    EXPECT_EQ(readAll(host("proyectos.log")), "earlier log");
    EXPECT_EQ(QDir(host("")).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"proyectos.log", "proyectos.xls"}));
}

TEST_F(ExportTest, AProgramFolderThatCannotBeWrittenLeavesTheEarlierFiles)
{
    prefix.writeFile("programa/proyectos.xls", "earlier workbook");
    prefix.writeFile("programa/proyectos.log", "earlier log");
    AddProject(catalogue, "A.vbp", ProjectKind::Exe, "A", {entry("C:\\a.dll")});
    std::unique_ptr<MountedFolder> readOnly;
    if (geteuid() == 0) {
        // Root writes through permissions: make the folder a read-only file system instead.
        readOnly = std::make_unique<MountedFolder>(host(""), "size=64k");
        if (!readOnly->mounted())
            GTEST_SKIP() << "this machine does not allow mounting";
        prefix.writeFile("programa/proyectos.xls", "earlier workbook");
        prefix.writeFile("programa/proyectos.log", "earlier log");
        ASSERT_TRUE(readOnly->remountReadOnly());
    } else {
        QFile::setPermissions(host(""), QFile::ReadOwner | QFile::ExeOwner);
    }
    EXPECT_FALSE(runExport());
    if (geteuid() != 0)
        QFile::setPermissions(host(""), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(messages.texts(), QStringList{"Error al Exportar archivo"});
    EXPECT_EQ(readAll(host("proyectos.xls")), "earlier workbook");
    EXPECT_EQ(readAll(host("proyectos.log")), "earlier log");
}
