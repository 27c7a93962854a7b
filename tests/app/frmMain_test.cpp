#include "app/frmMain.h"
#include "app/frmPath.h"
#include "catalogue/Catalogue.h"
#include "platform/desktop/FolderBrowser.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/drawing/PictureBox.h"
#include "support_files/FileBytes.h"
#include "support_files/TempPrefix.h"
#include "support_files/UnlistableFolder.h"
#include "support_files/TestApplication.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

struct ScriptedFolderBrowser : FolderBrowserAnswerer {
    QList<std::optional<QString>> answers;
    QStringList instructions;
    ScriptedFolderBrowser() { InstallFolderBrowserAnswerer(this); }
    ~ScriptedFolderBrowser() override { InstallFolderBrowserAnswerer(nullptr); }
    std::optional<QString> choose(const QString& instruction, const QString&) override
    {
        instructions.append(instruction);
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
};

// A main window over a temporary prefix, activated as the user's first click would.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApplication();
        prefix.writeLines("tmp/Facturas.vbp", {"Type=Exe", "Name=\"Facturas\""});
        prefix.writeLines("tmp/Stock.vbp", {"Type=OleDll", "Name=\"Stock\""});
        prefix.writeLines("tmp/Anonimo.vbp", {"Type=Exe"});
    }
    frmMain& open()
    {
        window = std::make_unique<frmMain>(catalogue);
        window->resize(700, 500);
        window->show();
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(window.get(), &activate);
        return *window;
    }
    QAction* action(const char* name) { return window->findChild<QAction*>(QString::fromLatin1(name)); }
    QMenu* menu(const char* name) { return window->findChild<QMenu*>(QString::fromLatin1(name)); }
    // Enabled state of the four menus, then the four buttons.
    QList<bool> commandStates()
    {
        QList<bool> states;
        for (const char* name : {"mnuArchivo", "mnuEdicion", "mnuOpciones", "mnuAyuda"})
            states.append(menu(name)->menuAction()->isEnabled());
        for (const char* key : {"cmdPrint", "cmdRefresh", "cmdExcel", "cmdExit"})
            states.append(action(key)->isEnabled());
        return states;
    }
    QStringList checkedKeys()
    {
        QStringList keys;
        for (int p = 1; p <= window->tree().Count(); ++p)
            if (window->tree().Node(p).checked)
                keys.append(window->tree().Node(p).key);
        return keys;
    }

    TempPrefix prefix;
    ScriptedMessageBoxes messages;
    Catalogue catalogue;
    std::unique_ptr<frmMain> window;
};

const QList<bool> kAllEnabled(8, true);

}

TEST_F(MainWindowTest, FirstActivationReadsTheSettingAndLoadsOnce)
{
    open();
    EXPECT_EQ(window->windowTitle(), "Zantrel");
    EXPECT_EQ(catalogue.ScanPath, "c:\\tmp\\");
    EXPECT_EQ(readAll(prefix.hostPath("windows/ZANTREL.INI")), "[general]\r\npath=c:\\tmp\\\r\n")
        << "the first run writes the default";
    EXPECT_EQ(catalogue.ProjectCount(), 3);
    EXPECT_EQ(commandStates(), kAllEnabled);
    EXPECT_EQ(window->controls().stbMain.PanelText(1), "Listo!");

    prefix.writeLines("tmp/Nuevo.vbp", {"Name=\"Nuevo\""});
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(window.get(), &activate);
    EXPECT_EQ(catalogue.ProjectCount(), 3) << "a later activation does not reload";
    window->tlbMain_ButtonClick("cmdRefresh");
    EXPECT_EQ(catalogue.ProjectCount(), 4) << "the refresh button lists the folder afresh";
}

TEST_F(MainWindowTest, CommandsAreDisabledWhileLoading)
{
    prefix.writeFile("windows/ZANTREL.INI", "[general]\r\npath=c:\\vacio\r\n");
    prefix.makeFolder("vacio");
    QList<bool> during;
    messages.onShow = [&](const MessageBoxRequest&) { during = commandStates(); };
    open();
    EXPECT_EQ(messages.texts(), QStringList{"No hay proyectos en la ruta especificada."});
    EXPECT_EQ(during, QList<bool>(8, false));
    EXPECT_EQ(commandStates(), kAllEnabled) << "an empty folder is no failure";
    EXPECT_EQ(catalogue.ScanPath, "c:\\vacio") << "a value without backslash is used unchanged";
}

TEST_F(MainWindowTest, AMissingFolderLeavesOnlyTheOptionsMenuUntilThePathDialogRecovers)
{
    prefix.writeFile("windows/ZANTREL.INI", "[general]\r\npath=d:\\no\\existe\\\r\n");
    open();
    EXPECT_EQ(messages.texts(), QStringList{"Carga : Path not found"});
    EXPECT_EQ(messages.shown()[0].icon(), MsgStyle::Critical);
    EXPECT_EQ(commandStates(), (QList<bool>{false, false, true, false, false, false, false, false}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait state ends on the failure path too";

    ScriptedFolderBrowser browser;
    browser.answers = {std::nullopt, QStringLiteral("C:\\tmp")};
    auto* dialog = window->NewPathDialog();
    EXPECT_EQ(dialog->windowTitle(), "Configurar Path");
    EXPECT_EQ(dialog->Label1()->text(), "d:\\no\\existe\\");
    EXPECT_EQ(dialog->cmd(0)->text(), "&Aceptar");
    EXPECT_EQ(dialog->cmd(1)->text(), "&Salir");
    EXPECT_EQ(dialog->cmd(2)->text(), "&Examinar");
    dialog->cmd_Click(2);
    EXPECT_EQ(dialog->Label1()->text(), "d:\\no\\existe\\") << "a cancelled browser changes nothing";
    dialog->cmd_Click(2);
    EXPECT_EQ(dialog->Label1()->text(), "C:\\tmp\\");
    EXPECT_EQ(browser.instructions, (QStringList{"C:\\", "C:\\"}));
    dialog->cmd_Click(0);
    EXPECT_EQ(commandStates(), kAllEnabled);
    EXPECT_EQ(catalogue.ProjectCount(), 3);
    EXPECT_EQ(readAll(prefix.hostPath("windows/ZANTREL.INI")), "[general]\r\npath=C:\\tmp\\\r\n");
    dialog->cmd_Click(1);
}

TEST_F(MainWindowTest, AFolderThatCannotBeListedFailsLikeAMissingOne)
{
    prefix.writeFile("windows/ZANTREL.INI", "[general]\r\npath=c:\\cerrada\\\r\n");
    prefix.writeLines("cerrada/a.vbp", {"Name=\"Alfa\""});
    UnlistableFolder closed(prefix.hostPath("cerrada"));
    ASSERT_TRUE(closed.unlistable());
    open();
    EXPECT_EQ(messages.texts(), QStringList{"Carga : Path/File access error"});
    EXPECT_EQ(messages.shown()[0].icon(), MsgStyle::Critical);
    EXPECT_EQ(commandStates(), (QList<bool>{false, false, true, false, false, false, false, false}));
    EXPECT_EQ(window->controls().stbMain.PanelText(1), "Listo!");
}

TEST_F(MainWindowTest, AcceptingAnEmptyPathDoesNothingAndAcceptingTwiceLoadsTwice)
{
    open();
    auto* dialog = window->NewPathDialog();
    const long long before = catalogue.Projects.size();
    dialog->Label1()->setText(QString());
    dialog->cmd_Click(0);
    EXPECT_EQ(catalogue.ScanPath, "c:\\tmp\\");
    dialog->Label1()->setText("c:\\tmp");
    int loads = 0;
    window->controls().stbMain.SetPanelText(1, "");
    auto* status = &window->controls().stbMain;
    dialog->cmd_Click(0);
    loads += status->PanelText(1) == "Listo!";
    status->SetPanelText(1, "");
    dialog->cmd_Click(0);
    loads += status->PanelText(1) == "Listo!";
    EXPECT_EQ(loads, 2);
    EXPECT_EQ(static_cast<long long>(catalogue.Projects.size()), before);
    dialog->close();
}

TEST_F(MainWindowTest, CheckingTheRootChecksEveryProjectAndNoDependency)
{
    prefix.writeLines("tmp/Duplicado.vbp", {"Name=\"Facturas\""});
    prefix.writeLines("tmp/Parentesis.vbp", {"Name=\"(Raro)\""});
    open();
    MemoryTree& tree = window->tree();
    tree.Add("k1", "dll99", "Referencias", 20); // a dependency branch must stay as it is
    auto* model = window->treeView()->model();
    const QModelIndex root = model->index(0, 0);
    ASSERT_EQ(model->data(root).toString(), "Sistemas");

    model->setData(root, Qt::Checked, Qt::CheckStateRole);
    // Projects: Anonimo (no name), Duplicado and Facturas (both named Facturas), Parentesis
    // (named "(Raro)"), Stock. Each has its own node, and each node is checked.
    EXPECT_EQ(checkedKeys(), (QStringList{"root", "k1", "k2", "k3", "k4", "k5"}));
    model->setData(root, Qt::Unchecked, Qt::CheckStateRole);
    EXPECT_EQ(checkedKeys(), QStringList{});

    model->setData(model->index(4, 0, root), Qt::Checked, Qt::CheckStateRole);
    EXPECT_EQ(checkedKeys(), QStringList{"k5"}) << "a project node changes nothing else";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, SelectAllAndNoneGoThroughTheRootAndEndWithListo)
{
    open();
    action("mnuEdicion_SelTodos")->trigger();
    EXPECT_EQ(checkedKeys(), (QStringList{"root", "k1", "k2", "k3"}));
    EXPECT_EQ(window->controls().stbMain.PanelText(1), "Listo!");
    action("mnuEdicion_NoSeltodos")->trigger();
    EXPECT_EQ(checkedKeys(), QStringList{});
}

TEST_F(MainWindowTest, SelectingWithNothingLoadedChangesNothing)
{
    prefix.writeFile("windows/ZANTREL.INI", "[general]\r\npath=c:\\vacio\\\r\n");
    prefix.makeFolder("vacio");
    open();
    action("mnuEdicion_SelTodos")->trigger();
    EXPECT_EQ(window->tree().Count(), 0);
    EXPECT_EQ(window->controls().stbMain.PanelText(1), "Listo!");
}

TEST_F(MainWindowTest, MenusAndToolbarCarryTheirCaptionsAndTips)
{
    open();
    EXPECT_EQ(menu("mnuArchivo")->title(), "&Archivo");
    EXPECT_EQ(menu("mnuEdicion")->title(), QString::fromUtf8("&Edición"));
    EXPECT_EQ(menu("mnuOpciones")->title(), "&Opciones");
    EXPECT_EQ(menu("mnuAyuda")->title(), "A&yuda");
    const std::pair<const char*, const char*> entries[] = {
        {"mnuArchivo_Imprimir", "&Imprimir"}, {"mnuArchivo_Salir", "&Salir"},
        {"mnuEdicion_SelTodos", "Seleccionar Todos"}, {"mnuEdicion_NoSeltodos", "No Seleccionar Todos"},
        {"mnuOpciones_ConfPath", "Configurar path proyectos"}, {"mnuAyuda_Indice", "&Indice"},
        {"mnuAyuda_acercade", "A&cerca de ..."}};
    for (const auto& [name, caption] : entries) {
        ASSERT_NE(action(name), nullptr) << name;
        EXPECT_EQ(action(name)->text(), QString::fromUtf8(caption));
        EXPECT_TRUE(action(name)->shortcut().isEmpty());
    }
    const std::pair<const char*, const char*> buttons[] = {
        {"cmdPrint", "Imprimir "}, {"cmdRefresh", "Actualizar"}, {"cmdExcel", "Exportar a Excel"}, {"cmdExit", "Salir"}};
    QList<QAction*> order = window->findChild<QToolBar*>("tlbMain")->actions();
    ASSERT_EQ(order.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(order[i]->objectName(), buttons[i].first);
        EXPECT_EQ(order[i]->toolTip(), buttons[i].second);
        EXPECT_FALSE(order[i]->icon().isNull());
    }
    action("mnuAyuda_Indice")->trigger();
    EXPECT_TRUE(messages.shown().isEmpty()) << "the index entry does nothing";
}

TEST_F(MainWindowTest, DecliningTheExportShowsNothingMore)
{
    open();
    messages.script({MsgAnswer::No});
    window->tlbMain_ButtonClick("cmdExcel");
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].text, QString::fromUtf8("Confirma exportar información a excel."));
    EXPECT_EQ(messages.shown()[0].style, MsgStyle::YesNo | MsgStyle::Question | MsgStyle::DefaultButton2);
    EXPECT_EQ(messages.shown()[0].title, "Zantrel");
    window->tlbMain_ButtonClick("cmdUnknown");
    EXPECT_EQ(messages.shown().size(), 1);
}

namespace {

// Records where a widget is each time it is shown.
struct ShowWatcher : QObject {
    std::vector<QRect> shownAt;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            shownAt.push_back(static_cast<QWidget*>(watched)->geometry());
        return false;
    }
};

// Where status panel 2 really is on screen, in the window's inner coordinates, as the user sees it.
QRect shownPanel2(frmMain& window)
{
    const QList<QLabel*> panels = window.findChild<QWidget*>("stbMain")->findChildren<QLabel*>();
    const QLabel* panel2 = panels.at(1);
    return QRect(panel2->mapTo(window.form(), QPoint(0, 0)), panel2->size());
}

}

TEST_F(MainWindowTest, TheProgressBarLiesOverPanelTwoFromTheFirstShow)
{
    // The window is sized before it is shown, as start-up does; no resize follows the show.
    prefix.writeLines("tmp/Zeta.vbp", {"Name=\"Zeta\""});
    window = std::make_unique<frmMain>(catalogue);
    EXPECT_EQ(window->controls().stbMain.PanelText(1), "Listo!") << "panel 1 is never blank";
    auto* progress = window->findChild<QWidget*>("pgbStatus");
    ShowWatcher watcher;
    progress->installEventFilter(&watcher);
    window->resize(700, 500);
    window->show();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(window.get(), &activate);
    QApplication::processEvents();
    ASSERT_EQ(catalogue.ProjectCount(), 4);

    const int H = window->form()->height();
    const QRect panel2 = shownPanel2(*window);
    ASSERT_GT(panel2.x(), 100) << "panel 2 sits right of the wide panel 1";
    const QRect expected(panel2.x() + 2, H - 15, panel2.width() - 3, 14);
    ASSERT_EQ(watcher.shownAt.size(), 1u);
    EXPECT_EQ(watcher.shownAt.front(), expected) << "during the first load";
    window->tlbMain_ButtonClick("cmdRefresh");
    ASSERT_EQ(watcher.shownAt.size(), 2u);
    EXPECT_EQ(watcher.shownAt.back(), expected) << "at a refresh";
}

TEST_F(MainWindowTest, LaysTheControlsOutInPixels)
{
    open();
    window->form()->resize(600, 400);
    QApplication::processEvents();
    const int W = window->form()->width(), H = window->form()->height();
    const int S = StatusBarWidget::Height;
    EXPECT_EQ(window->findChild<QToolBar*>("tlbMain")->geometry(), QRect(0, 0, W, 24));
    EXPECT_EQ(window->strip()->geometry(), QRect(0, 25, 32, H - 24 - S));
    EXPECT_EQ(window->treeView()->geometry(), QRect(32, 25, W - 32, H - 24 - S));
    auto* progress = window->findChild<QWidget*>("pgbStatus");
    const auto& status = window->controls().stbMain;
    const QRect panel2 = shownPanel2(*window);
    EXPECT_EQ(status.PanelLeft(2), panel2.x());
    EXPECT_EQ(status.PanelWidth(2), panel2.width());
    EXPECT_EQ(progress->geometry(), QRect(panel2.x() + 2, H - 15, panel2.width() - 3, 14));

    // The strip: azure at the bottom, black at the top, the title written upwards in pale yellow.
    const QImage& strip = window->strip()->image();
    ASSERT_EQ(strip.size(), QSize(32, H - 24 - S));
    EXPECT_EQ(strip.pixel(31, 0) & 0xFFFFFF, 0x000000u);
    const QRgb bottom = strip.pixel(31, strip.height() - 1);
    EXPECT_EQ(qRed(bottom), 0);
    EXPECT_NEAR(qGreen(bottom), 0x80, 2);
    EXPECT_NEAR(qBlue(bottom), 0xFF, 2);

    // Minimised, the form's resizes move nothing and the strip is not painted again; restored,
    // the controls are laid out for the form's size once more.
    const QRect treeBefore = window->treeView()->geometry();
    const QRect stripBefore = window->strip()->geometry();
    const QRect toolbarBefore = window->findChild<QToolBar*>("tlbMain")->geometry();
    const QImage stripImageBefore = strip.copy();
    window->showMinimized();
    QApplication::processEvents();
    ASSERT_TRUE(window->isMinimized());
    window->form()->resize(300, 200);
    QApplication::processEvents();
    EXPECT_EQ(window->form()->size(), QSize(300, 200));
    EXPECT_EQ(window->treeView()->geometry(), treeBefore) << "nothing moves while minimised";
    EXPECT_EQ(window->strip()->geometry(), stripBefore);
    EXPECT_EQ(window->findChild<QToolBar*>("tlbMain")->geometry(), toolbarBefore);
    EXPECT_EQ(window->strip()->image().size(), QSize(32, H - 24 - S)) << "the strip is not painted again";
    EXPECT_EQ(window->strip()->image(), stripImageBefore);

    window->showNormal();
    QApplication::processEvents();
    ASSERT_FALSE(window->isMinimized());
    const int W2 = window->form()->width(), H2 = window->form()->height();
    EXPECT_EQ(window->findChild<QToolBar*>("tlbMain")->geometry(), QRect(0, 0, W2, 24));
    EXPECT_EQ(window->strip()->geometry(), QRect(0, 25, 32, H2 - 24 - S));
    EXPECT_EQ(window->treeView()->geometry(), QRect(32, 25, W2 - 32, H2 - 24 - S));
    EXPECT_EQ(window->strip()->image().size(), QSize(32, H2 - 24 - S)) << "the strip is painted for its new height";
}

TEST_F(MainWindowTest, ALongLoadEndsScrolledToTheLastProject)
{
    for (int n = 1; n <= 80; ++n)
        prefix.writeLines(QStringLiteral("tmp/p%1.vbp").arg(n, 3, 10, QChar(u'0')), {"Name=\"P\""});
    open();
    QApplication::processEvents();
    QTreeView* view = window->treeView();
    const QModelIndex root = view->model()->index(0, 0);
    const QModelIndex last = view->model()->index(view->model()->rowCount(root) - 1, 0, root);
    ASSERT_TRUE(last.isValid());
    EXPECT_TRUE(view->viewport()->rect().contains(view->visualRect(last))) << "the last project node is in view";
    EXPECT_GT(view->verticalScrollBar()->value(), 0);
}

TEST_F(MainWindowTest, ClosingEmptiesTheTreeWithoutPaintingBetweenRemovals)
{
    open();
    ASSERT_GT(window->tree().Count(), 0);
    QTreeView* view = window->treeView();
    QList<bool> paintingDuringRemovals;
    QObject::connect(view->model(), &QAbstractItemModel::modelAboutToBeReset, view,
                     [&] { paintingDuringRemovals.append(view->updatesEnabled()); });
    window->close();
    EXPECT_EQ(window->tree().Count(), 0);
    EXPECT_EQ(paintingDuringRemovals, QList<bool>{false}) << "the view does not paint while the tree empties";
    EXPECT_TRUE(view->updatesEnabled());
}

TEST_F(MainWindowTest, ConfirmingTheExportWritesTheWorkbookAndSaysSo)
{
    open();
    const QString workbook = QCoreApplication::applicationDirPath() + "/proyectos.xls";
    QFile::remove(workbook);
    messages.script({MsgAnswer::Yes});
    window->tlbMain_ButtonClick("cmdExcel");
    EXPECT_EQ(messages.texts(), (QStringList{QString::fromUtf8("Confirma exportar información a excel."),
                                             QString::fromUtf8("Información exportada con éxito!")}));
    EXPECT_EQ(messages.shown().last().icon(), MsgStyle::Information);
    EXPECT_TRUE(QFile::exists(workbook));
    EXPECT_EQ(window->controls().stbMain.PanelText(1), "Listo!");
    QFile::remove(workbook);
    QFile::remove(QCoreApplication::applicationDirPath() + "/proyectos.log");
}

TEST_F(MainWindowTest, ASettingTheFileCannotKeepIsSaidAndStillUsedForThisRun)
{
    open();
    // The settings file's name is taken by a folder: nothing can be written there.
    ASSERT_TRUE(QFile::remove(prefix.hostPath("windows/ZANTREL.INI")));
    prefix.makeFolder("windows/ZANTREL.INI");
    prefix.makeFolder("otra");
    prefix.writeLines("otra/Nuevo.vbp", {"Type=Exe", "Name=\"Nuevo\""});
    messages.clear();
    auto* dialog = window->NewPathDialog();
    dialog->Label1()->setText("c:\\otra");
    dialog->cmd_Click(0);
    EXPECT_EQ(messages.texts(), QStringList{"cmd_Click : 75 Path/File access error (ZANTREL.INI)"});
    EXPECT_EQ(messages.shown()[0].icon(), MsgStyle::Critical);
    EXPECT_EQ(catalogue.ScanPath, "c:\\otra\\");
    ASSERT_EQ(catalogue.ProjectCount(), 1) << "the folder is loaded all the same";
    EXPECT_EQ(catalogue.Projects[1].Name, "Nuevo");
    dialog->close();
}

// "Generar manifiestos" writes the checked programs' manifests into the folder chosen and says
// how many; with nothing checked it says so and asks for no folder.
TEST_F(MainWindowTest, GenerarManifiestosWritesTheCheckedProgramsManifests)
{
    prefix.makeFolder("salida");
    ScriptedMessageBoxes messages;
    ScriptedFolderBrowser folders;
    open();
    ASSERT_NE(action("mnuArchivo_Manifiestos"), nullptr);
    EXPECT_EQ(action("mnuArchivo_Manifiestos")->text(), "Generar &manifiestos...");

    action("mnuEdicion_NoSeltodos")->trigger();
    action("mnuArchivo_Manifiestos")->trigger();
    ASSERT_EQ(messages.texts(), QStringList{"No hay proyectos seleccionados"});
    EXPECT_TRUE(folders.instructions.isEmpty());

    messages.clear();
    action("mnuEdicion_SelTodos")->trigger();
    folders.answers = {QStringLiteral("c:\\salida")};
    action("mnuArchivo_Manifiestos")->trigger();
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_EQ(messages.texts()[0], "Manifiestos generados: 2 en c:\\salida");
    EXPECT_EQ(messages.shown()[0].icon(), MsgStyle::Information);

    // A title holding a control character: the manifest leaves it out, and the window says so.
    prefix.writeFile("tmp/Anonimo.vbp", "Type=Exe\r\nTitle=\"Mi\x01programa\"\r\n");
    window->tlbMain_ButtonClick("cmdRefresh");
    action("mnuEdicion_SelTodos")->trigger();
    messages.clear();
    folders.answers = {QStringLiteral("c:\\salida")};
    action("mnuArchivo_Manifiestos")->trigger();
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_EQ(messages.texts()[0], "Manifiestos generados: 2 en c:\\salida\n\nAnonimo.vbp: 1 caracteres que XML no admite "
                                   "quedaron fuera de los textos del manifiesto");
    EXPECT_EQ(messages.shown()[0].icon(), MsgStyle::Exclamation);
    EXPECT_TRUE(QFile::exists(prefix.hostPath("salida/Facturas.exe.manifest")));
    EXPECT_TRUE(QFile::exists(prefix.hostPath("salida/Anonimo.exe.manifest"))) << "named after its file without a Name";
    EXPECT_FALSE(QFile::exists(prefix.hostPath("salida/Stock.exe.manifest"))) << "an ActiveX DLL is no program";
}
