#include "app/DiagnosticsWindow.h"
#include "app/ClosureProblemsModel.h"
#include "app/DriftModel.h"
#include "app/UnresolvedLinesModel.h"
#include "app/frmMain.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Inventory.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/PathMapper.h"
#include "platform/registry/SystemCodePage.h"
#include "support_files/FileBytes.h"
#include "support_files/FixtureLibraries.h"
#include "support_files/TempPrefix.h"
#include "support_files/TestApplication.h"
#include "support_files/WineRegistryText.h"
#include "support_files/WindowsRootImages.h"
#include "support_files/IndependentReaders.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/WindowsWorld.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTableView>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

QString ref(const QString& guid, const QString& version, const QString& path, const QString& name)
{
    return "Reference=*\\G" + guid + "#" + version + "#0#" + path + "#" + name;
}

const QString kStranger = "{11111111-2222-3333-4444-555555555555}";

// A main window over a temporary prefix where some lines resolve and some do not.
class DiagnosticsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApplication();
        prefix.writeFile("windows/system32/facturacion32.dll", FixtureLibraries::Bytes("facturacion32.dll"));
        WineRegistryText()
            .typeLib(FixtureLibraries::Facturacion, "1.0", "0", "C:\\windows\\system32\\facturacion32.dll", "F")
            .writeTo(prefix);
    }
    frmMain& open(const QString& folder = "c:\\tmp\\")
    {
        window = std::make_unique<frmMain>(catalogue, nullptr, folder);
        window->resize(700, 500);
        window->show();
        // The first activation loads, once.
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(window.get(), &activate);
        return *window;
    }
    // The cells of every row the diagnostics list shows.
    QList<QStringList> shownRows(const UnresolvedLinesModel& model)
    {
        QList<QStringList> rows;
        for (int r = 0; r < model.rowCount(); ++r)
            rows.append(model.RowTexts(r));
        return rows;
    }

    TempPrefix prefix;
    ScriptedMessageBoxes messages;
    Catalogue catalogue;
    std::unique_ptr<frmMain> window;
};

}

TEST_F(DiagnosticsTest, TheWindowAndTheCommandLineGiveTheSameUnresolvedLines)
{
    // The real-world projects, twice under other names, as a user's folder holds them.
    const QDir corpus(QStringLiteral(ZANTREL_SOURCE_DIR "/tests/corpus/real-world"));
    for (const QString& name : corpus.entryList({"*.vbp"}, QDir::Files, QDir::Name)) {
        const QByteArray bytes = readAll(corpus.filePath(name));
        prefix.writeFile("tmp/" + name, bytes);
        prefix.writeFile("tmp/copia/" + name, bytes);
    }
    open();
    ASSERT_NE(window->inventory(), nullptr);
    DiagnosticsWindow* diagnostics = window->ShowDiagnostics();
    const QList<QStringList> rows = shownRows(*diagnostics->linesModel());

    QByteArray out, err;
    ASSERT_EQ(RunCli({"missing", "--format", "json", "c:\\tmp\\"}, prefix.root(), &out, &err), 3) << err.constData();
    QProcess python;
    python.start("python3", {"-c", "import json,sys\nfor r in json.load(sys.stdin):\n"
                                   " print('\\t'.join([r['project'],str(r['line']),r['kind'],r['guid'],r['reason']]))"});
    python.write(out);
    python.closeWriteChannel();
    ASSERT_TRUE(python.waitForFinished(60000));
    const QStringList cli = QString::fromUtf8(python.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), cli.size());
    ASSERT_GT(rows.size(), 100);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QStringList fields = cli[i].split(u'\t');
        const QStringList& row = rows[i];
        ASSERT_EQ(row[UnresolvedLinesModel::Project], fields[0]) << i;
        EXPECT_EQ(row[UnresolvedLinesModel::Line], fields[1]);
        EXPECT_EQ(row[UnresolvedLinesModel::Kind], KindText(fields[2]));
        EXPECT_EQ(row[UnresolvedLinesModel::Guid], fields[3]);
        EXPECT_EQ(row[UnresolvedLinesModel::Reason], ReasonText(fields[4]));
    }
    // The main window says it under its status bar, without a message box.
    EXPECT_TRUE(window->statusBar()->isVisible());
    const int projects = window->inventory()->ProjectsWithUnresolved();
    EXPECT_EQ(window->diagnosticsLine()->text(),
              QStringLiteral("<a href=\"diagnostico\">%1 dependencias no encontradas en %2 proyectos — ver Diagnóstico</a>")
                  .arg(rows.size())
                  .arg(projects));
    EXPECT_TRUE(messages.shown().isEmpty()) << messages.texts().join(u'\n').toStdString();
    EXPECT_EQ(window->controls().stbMain.PanelText(1), "Listo!");
}

TEST_F(DiagnosticsTest, SortFilterCheckedProjectsAndDoubleClickFindTheProject)
{
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Name=\"Alfa\"", ref(FixtureLibraries::Facturacion, "1.0", "", "F"),
                                    ref(kStranger, "1.0", "", "Nadie"), "Reference=basura"});
    prefix.writeLines("tmp/b.vbp", {"Type=Exe", "Name=\"Beta\"", "Object=" + kStranger + "#1.0#0; NADA.OCX",
                                    "Reference=*\\A..\\falta\\Falta.vbp"});
    open();
    EXPECT_EQ(window->diagnosticsLine()->text(),
              "<a href=\"diagnostico\">4 dependencias no encontradas en 2 proyectos — ver Diagnóstico</a>");
    // The line opens the window.
    emit window->diagnosticsLine()->linkActivated("diagnostico");
    DiagnosticsWindow* diagnostics = window->findChild<DiagnosticsWindow*>();
    ASSERT_NE(diagnostics, nullptr);
    EXPECT_TRUE(diagnostics->isVisible());
    EXPECT_EQ(diagnostics->windowTitle(), "Diagnóstico de dependencias");
    UnresolvedLinesModel& model = *diagnostics->linesModel();
    ASSERT_EQ(model.rowCount(), 4);

    diagnostics->linesView()->sortByColumn(UnresolvedLinesModel::Reason, Qt::AscendingOrder);
    QStringList reasons;
    for (const QStringList& row : shownRows(model))
        reasons.append(row[UnresolvedLinesModel::Reason]);
    EXPECT_EQ(reasons, QStringList({"falta el proyecto", "línea ilegible", "no registrada", "no registrada"}));
    diagnostics->linesView()->sortByColumn(UnresolvedLinesModel::Line, Qt::DescendingOrder);
    EXPECT_EQ(model.RowTexts(0)[UnresolvedLinesModel::Line], "5");

    diagnostics->filterBox()->setText("nada.ocx");
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.RowTexts(0)[UnresolvedLinesModel::Kind], "componente");
    diagnostics->filterBox()->clear();
    EXPECT_EQ(model.rowCount(), 4);

    // Only the checked projects: none is checked, then Beta is.
    diagnostics->checkedOnly()->setChecked(true);
    EXPECT_EQ(model.rowCount(), 0);
    window->tree().SetChecked(window->tree().Find("k2"), true);
    QApplication::processEvents();
    EXPECT_EQ(model.rowCount(), 2) << "the list follows the tree's checks";
    for (const QStringList& row : shownRows(model))
        EXPECT_EQ(row[UnresolvedLinesModel::Project], "c:\\tmp\\b.vbp");

    // A double click selects the project's node.
    emit diagnostics->linesView()->doubleClicked(model.index(0, 0));
    const QModelIndex current = window->treeView()->currentIndex();
    ASSERT_TRUE(current.isValid());
    EXPECT_EQ(current.data().toString(), "Beta (b.vbp)");

    // Copy gives the selected rows as tab-separated lines.
    diagnostics->linesView()->selectRow(0);
    const QString copied = diagnostics->CopySelection();
    EXPECT_EQ(copied.count(u'\n'), 1);
    EXPECT_TRUE(copied.startsWith("c:\\tmp\\b.vbp\t")) << copied.toStdString();
    EXPECT_EQ(QApplication::clipboard()->text(), copied);
}

TEST_F(DiagnosticsTest, SavedCsvIsReadBackWholeWithHostileTextsInTheirCells)
{
    // A name with a tab, a line break, a quote and a comma keeps to its cell.
    prefix.writeFile("tmp/x.vbp", "Type=Exe\r\nName=\"X\"\r\n"
                                  + ref(kStranger, "1.0", "", "a\tb,\"c\"").toLatin1() + "\x01z\r\n");
    open();
    DiagnosticsWindow* diagnostics = window->ShowDiagnostics();
    ASSERT_EQ(diagnostics->linesModel()->rowCount(), 1);
    EXPECT_EQ(diagnostics->linesModel()->RowTexts(0)[UnresolvedLinesModel::Name], "a\\x09b,\"c\"\\x01z");
    prefix.makeFolder("salida");
    ASSERT_TRUE(diagnostics->SaveCsv("c:\\salida\\lista.csv"));
    const QByteArray bytes = readAll(prefix.hostPath("salida/lista.csv"));
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << "a byte-order mark, for spreadsheet programs";
    QProcess python;
    python.start("python3", {"-c", "import csv,sys\nrows=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig',"
                                   "newline=''),strict=True))\nprint(len(rows));print(rows[0][8]);print(rows[1][7])",
                             prefix.hostPath("salida/lista.csv")});
    ASSERT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(QString::fromUtf8(python.readAllStandardOutput()), "2\nMotivo\na\\x09b,\"c\"\\x01z\n")
        << python.readAllStandardError().constData();

    // A folder that is not there is said, and nothing is written.
    EXPECT_FALSE(diagnostics->SaveCsv("c:\\no\\existe\\lista.csv"));
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_TRUE(messages.texts()[0].startsWith("Guardar como CSV : c:\\no\\existe\\lista.csv : ")) << messages.texts()[0].toStdString();
}

TEST_F(DiagnosticsTest, SavedCsvKeepsFormulasFromProjectFilesAsText)
{
    // A reference's name that a spreadsheet would evaluate, and one that would ring the terminal.
    prefix.writeFile("tmp/x.vbp", "Type=Exe\r\nName=\"X\"\r\n" + ref(kStranger, "1.0", "", "=1+41").toLatin1() + "\r\n");
    open();
    DiagnosticsWindow* diagnostics = window->ShowDiagnostics();
    ASSERT_EQ(diagnostics->linesModel()->rowCount(), 1);
    prefix.makeFolder("salida");
    ASSERT_TRUE(diagnostics->SaveCsv("c:\\salida\\lista.csv"));
    const QByteArray bytes = readAll(prefix.hostPath("salida/lista.csv"));
    EXPECT_TRUE(bytes.contains(",'=1+41,") || bytes.endsWith(",'=1+41\r\n")) << bytes.constData();
    EXPECT_FALSE(bytes.contains(",=1+41")) << bytes.constData();
}

TEST_F(DiagnosticsTest, VersionsThatDisagreeAreListedWithTheProjectsOnEachSide)
{
    const QString mscomctl = "{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}";
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Object=" + mscomctl + "#2.0#0; mscomctl.ocx"});
    prefix.writeLines("tmp/b.vbp", {"Type=Exe", "Object=" + mscomctl + "#2.2#0; MSCOMCTL.OCX"});
    prefix.writeLines("tmp/c.vbp", {"Type=Exe", "Object=" + mscomctl + "#2.0#0; MSCOMCTL.OCX",
                                    ref(FixtureLibraries::Facturacion, "1.0", "", "F")});
    prefix.writeLines("tmp/d.vbp", {"Type=Exe", ref(FixtureLibraries::Facturacion, "1.0", "C:\\lib\\fact.dll", "F")});
    open();
    DiagnosticsWindow* diagnostics = window->ShowDiagnostics();
    const DriftModel& drift = *diagnostics->driftModel();
    EXPECT_EQ(drift.LibraryCount(), 1) << "the same file name in another case is the same file";
    ASSERT_EQ(drift.rowCount(), 2);
    EXPECT_EQ(drift.index(0, DriftModel::Version).data().toString(), "2.0");
    EXPECT_EQ(drift.ProjectsAt(0), std::vector<int>({1, 3}));
    EXPECT_EQ(drift.index(1, DriftModel::Version).data().toString(), "2.2");
    EXPECT_EQ(drift.ProjectsAt(1), std::vector<int>({2}));

    // The command line agrees, and says so with its status.
    QByteArray out, err;
    EXPECT_EQ(RunCli({"drift", "c:\\tmp\\"}, prefix.root(), &out, &err), 3);
    EXPECT_EQ(out, "guid\tkind\tversion\tfile\tprojects\n" + mscomctl.toLatin1() + "\t2\t2.0\tmscomctl.ocx\tc:\\\\tmp\\\\a.vbp|c:\\\\tmp\\\\c.vbp\n"
                       + mscomctl.toLatin1() + "\t2\t2.2\tMSCOMCTL.OCX\tc:\\\\tmp\\\\b.vbp\n");
}

TEST_F(DiagnosticsTest, AFolderThatCannotBeReadIsNamedInBothFormsAndNothingMissingHidesTheLine)
{
    open("c:\\no\\existe\\");
    EXPECT_EQ(messages.texts(), QStringList({"Carga : Path not found"}));
    EXPECT_TRUE(window->statusBar()->isVisible());
    const QString line = window->diagnosticsLine()->text();
    EXPECT_TRUE(line.contains("c:\\no\\existe\\ (" + prefix.hostPath("no/existe"))) << line.toStdString();

    prefix.writeLines("tmp/a.vbp", {"Type=Exe", ref(FixtureLibraries::Facturacion, "1.0", "", "F")});
    catalogue.ScanPath = "c:\\tmp\\";
    window->Carga();
    EXPECT_FALSE(window->statusBar()->isVisible()) << "nothing is missing: nothing to say";
    EXPECT_EQ(window->inventory()->UnresolvedCount(), 0);
}

TEST_F(DiagnosticsTest, TheWindowKeepsItsSizeAndPlaceInTheSettingsFile)
{
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", ref(kStranger, "1.0", "", "N")});
    open();
    DiagnosticsWindow* diagnostics = window->ShowDiagnostics();
    diagnostics->setGeometry(40, 50, 640, 300);
    diagnostics->close();
    const QByteArray text = readAll(prefix.hostPath("windows/ZANTREL.INI"));
    EXPECT_TRUE(text.contains("[diagnostico]\r\nleft=40\r\ntop=50\r\nwidth=640\r\nheight=300\r\n")) << text.constData();

    DiagnosticsWindow again;
    again.show();
    EXPECT_EQ(again.size(), QSize(640, 300));
}

TEST_F(DiagnosticsTest, TheExportKeepsItsTextsAndItsLogCountsTheUnresolvedLines)
{
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", ref(kStranger, "1.0", "", "N"), ref(kStranger, "2.0", "", "N")});
    prefix.writeLines("tmp/b.vbp", {"Type=Exe", ref(FixtureLibraries::Facturacion, "1.0", "", "F")});
    open();
    const QString folder = QCoreApplication::applicationDirPath();
    messages.script({MsgAnswer::Yes});
    window->tlbMain_ButtonClick("cmdExcel");
    EXPECT_EQ(messages.texts(), (QStringList{"Confirma exportar información a excel.", "Información exportada con éxito!"}));
    const QByteArray text = readAll(folder + "/proyectos.log");
    EXPECT_TRUE(text.contains("\r\nUnresolved lines (not in the sheet): 2 in 1 project\r\nResult: written")) << text.constData();
    QFile::remove(folder + "/proyectos.xls");
    QFile::remove(folder + "/proyectos.log");
}

// A prefix as Debian's wine64 alone makes it: the window says once what is wrong and what to
// install, keeps saying it in the diagnostics, and gives each line its true reason.
TEST_F(DiagnosticsTest, APrefixWithoutWines32BitHalfIsSaidOnceWithTheTrueReasons)
{
    const QString stdole = "{00020430-0000-0000-C000-000000000046}";
    prefix.writeFile("windows/system32/kernel32.dll", "MZ");
    prefix.writeFile("windows/system32/stdole2.tlb", FixtureLibraries::Bytes("facturacion.tlb"));
    prefix.makeFolder("windows/syswow64");
    WineRegistryText machine(WineRegistryText::Hive::Machine, true);
    machine.typeLib64(stdole, "2.0", "0", "C:\\windows\\system32\\stdole2.tlb", "OLE Automation").writeTo(prefix);
    // The prefix's folders are looked at when it becomes the current one, as at start.
    PathMapper::setCurrent(prefix.root());
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", ref(stdole, "2.0", "C:\\Windows\\System32\\stdole2.tlb", "OLE")});
    open();
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].icon(), MsgStyle::Exclamation);
    EXPECT_TRUE(messages.texts()[0].contains("wine32")) << messages.texts()[0].toStdString();
    EXPECT_TRUE(messages.texts()[0].contains(prefix.root())) << "it names the prefix";

    window->tlbMain_ButtonClick("cmdRefresh");
    EXPECT_EQ(messages.shown().size(), 1) << "said once, not at every load";
    DiagnosticsWindow* diagnostics = window->ShowDiagnostics();
    const QLabel* notes = diagnostics->findChild<QLabel*>("lblNotas");
    ASSERT_NE(notes, nullptr);
    EXPECT_TRUE(notes->isVisibleTo(diagnostics));
    EXPECT_EQ(notes->text(), messages.texts()[0]);
    ASSERT_EQ(diagnostics->linesModel()->rowCount(), 1);
    EXPECT_EQ(diagnostics->linesModel()->RowTexts(0)[UnresolvedLinesModel::Reason],
              "registrada solo para Windows de 64 bits");
}

TEST(DiagnosticsWithoutPrefix, TheWindowWarnsThatNothingCanBeResolved)
{
    TestApplication();
    QTemporaryDir home;
    TempPrefix prefix;
    // The prefix's place named, but nothing there.
    const QString nowhere = home.filePath("no-prefix");
    PathMapper::setCurrent(nowhere);
    ScriptedMessageBoxes messages;
    Catalogue catalogue;
    frmMain window(catalogue, nullptr, "z:" + QDir::toNativeSeparators(home.path()).replace('/', '\\'));
    window.show();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&window, &activate);
    ASSERT_FALSE(messages.texts().isEmpty());
    EXPECT_TRUE(messages.texts().last().contains(nowhere)) << messages.texts().join('\n').toStdString();
    EXPECT_EQ(messages.shown().last().icon(), MsgStyle::Exclamation);
}

// A prefix whose Visual Basic ran in Russian: the window reads with its page, shows the name in
// Cyrillic and says in the diagnostics which page it reads with.
TEST_F(DiagnosticsTest, TheWindowReadsWithTheRegistrysPageAndSaysWhich)
{
    WineRegistryText()
        .typeLib(FixtureLibraries::Facturacion, "1.0", "0", "C:\\windows\\system32\\facturacion32.dll", "F")
        .key("System\\CurrentControlSet\\Control\\Nls\\CodePage")
        .value("ACP", "1251")
        .writeTo(prefix);
    UseCodePage(ChooseCodePage()); // as the program does at start
    prefix.writeFile("tmp/a.vbp", "Type=Exe\r\nName=\"\xcf\xf0\xee\xe5\xea\xf2\x31\"\r\n");
    open();
    UseCodePage(CodePageChoice()); // the Western page again for the tests after this one
    ASSERT_EQ(catalogue.ProjectCount(), 1);
    EXPECT_EQ(catalogue.Projects[1].Name, QString::fromUtf8("Проект1"));
    const QLabel* notes = window->ShowDiagnostics()->findChild<QLabel*>("lblNotas");
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(notes->text(), QString::fromUtf8("Página de códigos: 1251 (ACP del registro)"));
}

// The third tab tells what the programs need beyond their project lines and cannot have, in
// Spanish, worked out when the tab is first shown; a double click selects the project.
TEST_F(DiagnosticsTest, TheClosureTabShowsWhatTheProgramsCannotLoad)
{
    prefix.writeFile("tmp/huerfano32.dll", readAll(QStringLiteral(ZANTREL_SOURCE_DIR "/tests/fixtures/imports/huerfano32.dll")));
    prefix.writeFile("tmp/a.vbp", "Type=Exe\r\nName=\"Roto\"\r\nExeName32=\"huerfano32.dll\"\r\n");
    open();
    DiagnosticsWindow* diagnostics = window->ShowDiagnostics();
    EXPECT_EQ(diagnostics->closureModel()->rowCount(), 0) << "nothing worked out before the tab is shown";
    diagnostics->tabs()->setCurrentWidget(diagnostics->closureView());
    const ClosureProblemsModel& closure = *diagnostics->closureModel();
    QStringList rows;
    for (int r = 0; r < closure.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < ClosureProblemsModel::ColumnCount; ++c)
            cells.append(closure.index(r, c).data().toString());
        rows.append(cells.join('|'));
    }
    EXPECT_TRUE(rows.contains("a.vbp|falta32.dll|importación|a.vbp > huerfano32.dll > falta32.dll|no está en la ruta de búsqueda"))
        << rows.join('\n').toStdString();
    EXPECT_TRUE(rows.contains("a.vbp|KERNEL32.dll|importación|a.vbp > huerfano32.dll > KERNEL32.dll|no está en la ruta de búsqueda"))
        << "a prefix without Wine's system files lacks kernel32 too";
    EXPECT_TRUE(diagnostics->findChild<QLabel*>("lblCuenta")->text().startsWith("2 archivos que los programas necesitan"));
}

// A Windows machine's disk read in place of a prefix: the window resolves through its hives, says
// in the diagnostics which system and user it reads, and writes nothing there.
TEST_F(DiagnosticsTest, TheWindowReadsAWindowsMachinesDiskAndSaysWhich)
{
    REQUIRE_JUDGE(HaveHivexregedit(), "hivexregedit (libwin-hivex-perl)");
    prefix.writeFile("tmp/a.vbp", ref(FixtureLibraries::Facturacion, "1.0", "C:\\windows\\system32\\facturacion32.dll", "F")
                                      .toLatin1() + "\r\nType=Exe\r\nName=\"Facturas\"\r\n");
    QString error;
    ASSERT_TRUE(MakeWindowsRootFromPrefix(prefix.root(), "ana", &error)) << error.toStdString();
    WorldOptions world;
    world.windowsRoot = prefix.root() + "/drive_c";
    UseWorld(world); // as the program does with --windows
    ASSERT_TRUE(WorldError().isEmpty()) << WorldError().toStdString();
    open();
    ASSERT_EQ(catalogue.ProjectCount(), 1);
    ASSERT_EQ(catalogue.DependencyCount(1), 1);
    EXPECT_EQ(catalogue.Projects[1].Dependencies[1].FilePath.toLower(), "c:\\windows\\system32\\facturacion32.dll");
    const QLabel* notes = window->ShowDiagnostics()->findChild<QLabel*>("lblNotas");
    ASSERT_NE(notes, nullptr);
    EXPECT_TRUE(notes->text().startsWith(QString::fromUtf8("Sistema Windows leído (sin escribir en él): ") + prefix.root() + "/drive_c"))
        << notes->text().toStdString();
    EXPECT_TRUE(notes->text().contains("Usuario: ana")) << notes->text().toStdString();
    EXPECT_FALSE(QFileInfo::exists(prefix.hostPath("windows/ZANTREL.INI"))) << "the settings file is the user's own";
    window.reset();
    PathMapper::setCurrent(prefix.root());
    RegistryStore::resetCurrent();
}
