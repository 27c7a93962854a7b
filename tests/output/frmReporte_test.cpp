#include "app/frmMain.h"
#include "catalogue/Catalogue.h"
#include "output/ReportFile.h"
#include "output/frmAccion.h"
#include "output/frmImprimir.h"
#include "output/frmReporte.h"
#include "platform/controls/MemoryControls.h"
#include "platform/desktop/CommonDialogs.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/ProgramFolder.h"
#include "platform/richtext/RichTextBox.h"
#include "support_files/FileBytes.h"
#include "support_files/TempPrefix.h"
#include "support_files/TestApplication.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolBar>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

// Answers the save dialog with a scripted name (or a cancel) and keeps what it was asked.
struct ScriptedSaveDialog : CommonDialogAnswerer {
    ScriptedSaveDialog() { InstallCommonDialogAnswerer(this); }
    ~ScriptedSaveDialog() override { InstallCommonDialogAnswerer(nullptr); }
    int fileName(OpenFileNameRequest& request, bool save) override
    {
        asked.append(request);
        if (!save || !answer)
            return 0;
        request.lpstrFile = *answer + QString(request.nMaxFile - answer->size(), QChar(0));
        return 1;
    }
    std::optional<QString> answer;
    QList<OpenFileNameRequest> asked;
};

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

// A main window over a folder of three projects, loaded as on its first activation.
class ReportWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApplication();
        prefix.writeLines("tmp/Facturas.vbp", {"Type=Exe", "Name=\"Facturas\""});
        prefix.writeLines("tmp/Stock.vbp", {"Type=OleDll", "Name=\"Stock\""});
        prefix.writeLines("tmp/Zeta.vbp", {"Type=Exe", "Name=\"Zeta\""});
        window = std::make_unique<frmMain>(catalogue);
        window->show();
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(window.get(), &activate);
        messages.clear();
    }
    void TearDown() override
    {
        if (frmImprimir* dialog = frmImprimir::current())
            dialog->close();
        flushDeletes();
        window.reset();
    }
    void check(const QString& key) { window->tree().SetChecked(window->tree().Find(key), true); }
    // A report window over the main window's tree, loaded and shown.
    frmReporte* openReport(ReportKind tipo)
    {
        auto* report = new frmReporte(window->tree(), catalogue, window->controls().stbMain, window.get());
        report->setTipo(tipo);
        report->show();
        return report;
    }

    TempPrefix prefix;
    ScriptedMessageBoxes messages;
    Catalogue catalogue;
    std::unique_ptr<frmMain> window;
};

}

TEST_F(ReportWindowTest, ThePrintCommandsOpenOneModelessPrintOptionsDialog)
{
    window->findChild<QAction*>("cmdPrint")->trigger();
    frmImprimir* dialog = frmImprimir::current();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->windowTitle(), "Imprimir");
    EXPECT_EQ(dialog->findChild<QGroupBox*>("fra")->title(), "Imprimir");
    EXPECT_EQ(dialog->opt(0)->text(), "Detallado");
    EXPECT_EQ(dialog->opt(1)->text(), "Resumido");
    EXPECT_TRUE(dialog->opt(0)->isChecked());
    EXPECT_EQ(dialog->cmd(0)->text(), "&Aceptar");
    EXPECT_EQ(dialog->cmd(1)->text(), "&Salir");

    window->findChild<QAction*>("mnuArchivo_Imprimir")->trigger();
    EXPECT_EQ(frmImprimir::current(), dialog) << "the open dialog is brought forward, not doubled";
    dialog->cmd_Click(1);
    flushDeletes();
    EXPECT_EQ(frmImprimir::current(), nullptr);
}

TEST_F(ReportWindowTest, AcceptingWithoutCheckedProjectsSaysSoAndStaysOpen)
{
    window->findChild<QAction*>("cmdPrint")->trigger();
    frmImprimir* dialog = frmImprimir::current();
    ASSERT_TRUE(dialog);
    // The root alone is no project.
    window->tree().SetChecked(window->tree().Find("root"), true);
    dialog->cmd_Click(0);
    ASSERT_EQ(messages.texts(), QStringList({"Debe seleccionar proyectos a imprimir."}));
    EXPECT_EQ(messages.shown().first().iconName(), "critical");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->progressDialog(), nullptr);
}

TEST_F(ReportWindowTest, AcceptingBuildsTheReportUnderAProgressDialogAndKeepsTheChoice)
{
    check("k1");
    check("k3");
    window->findChild<QAction*>("cmdPrint")->trigger();
    frmImprimir* dialog = frmImprimir::current();
    ASSERT_TRUE(dialog);
    dialog->opt(1)->setChecked(true);

    QString shownText, title;
    std::optional<ReportKind> tipo;
    bool modal = false, progressGone = false;
    // Looks at the report window once it shows (the build lets window messages run before that).
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, dialog, [&] {
        frmReporte* report = dialog->reportWindow();
        if (!report || !report->isVisible())
            return;
        poll.stop();
        title = report->windowTitle();
        tipo = report->Tipo();
        modal = report->isModal();
        shownText = report->txt().Text();
        progressGone = dialog->progressDialog() == nullptr || !dialog->progressDialog()->isVisible();
        report->close();
    });
    poll.start();
    dialog->cmd_Click(0);
    EXPECT_EQ(title, "Reporte del archivo");
    EXPECT_EQ(tipo, ReportKind::Resumido);
    EXPECT_TRUE(modal);
    EXPECT_TRUE(progressGone) << "the build closes the progress dialog";
    EXPECT_EQ(shownText, "Informe de Dependencias\r\n\r\nFacturas" + QString(32, u' ') + " - Facturas.vbp\r\nZeta" +
                             QString(36, u' ') + " - Zeta.vbp\r\n");
    EXPECT_EQ(window->controls().stbMain.PanelText(1), "Listo!");
    flushDeletes();
    EXPECT_EQ(dialog->reportWindow(), nullptr) << "the report window goes when it closes";
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->opt(1)->isChecked()) << "the last choice stays";
}

TEST(ProgressDialog, RunsFromOneToTheTotalAboveOtherWindowsWhileShown)
{
    TestApplication();
    auto* dialog = new frmAccion;
    QPointer<frmAccion> alive(dialog);
    EXPECT_EQ(dialog->windowTitle(), "Imprimiendo ...");
    EXPECT_EQ(dialog->Label1()->text(), "lblArchivo");
    EXPECT_EQ(dialog->findChild<QGroupBox*>("fra")->title(), "Proyecto");
    dialog->setTotal(2);
    dialog->show();
    EXPECT_EQ(dialog->pgb()->Min(), 1);
    EXPECT_EQ(dialog->pgb()->Max(), 2);
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
    dialog->SetProject("Stock");
    dialog->SetValue(4);  // shared names can pass the total
    EXPECT_EQ(dialog->Label1()->text(), "Stock");
    EXPECT_EQ(dialog->pgb()->Value(), 4);
    dialog->Close();
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
    flushDeletes();
    EXPECT_TRUE(alive.isNull());
}

TEST_F(ReportWindowTest, TheWindowHasItsToolbarAndLaysTheTextUnderIt)
{
    check("k2");
    frmReporte* report = openReport(ReportKind::Detallado);
    QToolBar* toolbar = report->Toolbar1();
    const QList<QAction*> buttons = toolbar->actions();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons[0]->objectName(), "cmdSave");
    EXPECT_EQ(buttons[0]->toolTip(), "Guardar informe");
    EXPECT_EQ(buttons[1]->objectName(), "cmdPrint");
    EXPECT_EQ(buttons[1]->toolTip(), "Imprimir informe");
    EXPECT_FALSE(buttons[0]->icon().isNull());

    report->resize(500, 300);
    QApplication::processEvents();
    const int top = toolbar->height();
    EXPECT_EQ(report->txtView()->geometry(), QRect(0, top, report->width(), report->height() - top));
    EXPECT_TRUE(report->txt().Text().startsWith("Informe de Dependencias\r\n\r\nProyecto    : Stock - (Stock.vbp)"));
    report->close();
}

TEST_F(ReportWindowTest, SavedNamesDecideTheFormat)
{
    EXPECT_EQ(ReportFileFor("C:\\tmp\\informe").name, "C:\\tmp\\informe.rtf");
    EXPECT_EQ(ReportFileFor("C:\\tmp\\informe").format, RichTextFormat::rtfRTF);
    // Only the last part of the path counts: a "." in a folder's name is no extension.
    EXPECT_EQ(ReportFileFor("C:\\mis.datos\\informe").format, RichTextFormat::rtfRTF);
    EXPECT_EQ(ReportFileFor("C:\\mis.datos\\informe").name, "C:\\mis.datos\\informe.rtf");
    EXPECT_EQ(ReportFileFor("/home/yo/dir.d/informe").name, "/home/yo/dir.d/informe.rtf");
    EXPECT_EQ(ReportFileFor("/home/yo/dir.d/informe").format, RichTextFormat::rtfRTF);
    EXPECT_EQ(ReportFileFor("dir.d/informe.txt").format, RichTextFormat::rtfText);
    for (const char* text : {"reporte.txt", "REPORTE.TXT", "reporte.doc"})
        EXPECT_EQ(ReportFileFor(text).format, RichTextFormat::rtfText) << text;
    for (const char* rich : {"reporte.rtf", "Reporte.Rtf"})
        EXPECT_EQ(ReportFileFor(rich).format, RichTextFormat::rtfRTF) << rich;

    check("k1");
    frmReporte* report = openReport(ReportKind::Resumido);
    ScriptedSaveDialog dialogs;
    prefix.makeFolder("mis.datos");
    dialogs.answer = "C:\\tmp\\informe";
    messages.script({MsgAnswer::Yes});
    report->Toolbar1_ButtonClick("cmdSave");
    EXPECT_TRUE(readAll(prefix.hostPath("tmp/informe.rtf")).startsWith("{\\rtf1"));
    EXPECT_EQ(messages.texts(), QStringList({"Confirma guardar informe.", "Informe guardado con éxito!"}));
    EXPECT_EQ(messages.shown()[0].style, MsgStyle::YesNo | MsgStyle::Question | MsgStyle::DefaultButton2);
    EXPECT_EQ(messages.shown()[1].iconName(), "information");

    ASSERT_EQ(dialogs.asked.size(), 1);
    const OpenFileNameRequest& asked = dialogs.asked.first();
    EXPECT_EQ(asked.lpstrTitle, "Guardar reporte como ...");
    EXPECT_EQ(asked.lpstrDefExt, "TXT");
    EXPECT_EQ(asked.nFilterIndex, 1);
    EXPECT_EQ(asked.lpstrInitialDir, ProgramFolder());
    EXPECT_EQ(asked.hwndOwner, HandleOf(report));
    EXPECT_EQ(asked.Flags, 0x6);
    EXPECT_EQ(asked.lpstrFilter.split(QChar(0)).mid(0, 6),
              QStringList({"Archivos de texto (*.TXT)", "*.TXT", "Archivos de texto enriquecido (*.RTF)", "*.RTF",
                           "Todos los archivos (*.*)", "*.*"}));

    // A "." in the folder's name is no extension: the name gets ".rtf" and rich text.
    dialogs.answer = "C:\\mis.datos\\informe";
    messages.script({MsgAnswer::Yes});
    report->Toolbar1_ButtonClick("cmdSave");
    EXPECT_TRUE(readAll(prefix.hostPath("mis.datos/informe.rtf")).startsWith("{\\rtf1"));
    EXPECT_FALSE(QFileInfo::exists(prefix.hostPath("mis.datos/informe")));
    report->close();
}

TEST_F(ReportWindowTest, NoCancelAndFailuresOfTheSave)
{
    check("k1");
    frmReporte* report = openReport(ReportKind::Detallado);
    ScriptedSaveDialog dialogs;

    messages.script({MsgAnswer::No});
    report->Toolbar1_ButtonClick("cmdSave");
    messages.script({MsgAnswer::No});
    report->Toolbar1_ButtonClick("cmdPrint");
    EXPECT_EQ(messages.texts(), QStringList({"Confirma guardar informe.", "Confirma imprimir informe."}));
    EXPECT_TRUE(dialogs.asked.isEmpty());

    messages.clear();
    messages.script({MsgAnswer::Yes});
    report->Toolbar1_ButtonClick("cmdSave");  // the dialog is cancelled
    EXPECT_EQ(messages.texts(), QStringList({"Confirma guardar informe."})) << "a cancel is silent";

    messages.clear();
    dialogs.answer = "C:\\no\\existe\\informe.txt";
    messages.script({MsgAnswer::Yes});
    report->Toolbar1_ButtonClick("cmdSave");
    EXPECT_EQ(messages.texts(), QStringList({"Confirma guardar informe.", "GrabarReporte : 76 Path not found"}));
    EXPECT_EQ(messages.shown().last().iconName(), "critical");
    report->close();
}

TEST_F(ReportWindowTest, PrintingWithoutADefaultPrinterIsAnErrorNotASuccess)
{
    // A default printer name that names no printer leaves the machine without one.
    qputenv("PRINTER", "ZantrelNoSuchPrinter");
    check("k1");
    frmReporte* report = openReport(ReportKind::Detallado);
    messages.script({MsgAnswer::Yes});
    // The error's box shows in the wait state, which ends after it, as the export's does.
    QList<bool> waitingAtBox;
    messages.onShow = [&](const MessageBoxRequest&) { waitingAtBox.append(QApplication::overrideCursor() != nullptr); };
    report->Toolbar1_ButtonClick("cmdPrint");
    messages.onShow = nullptr;
    qunsetenv("PRINTER");
    EXPECT_EQ(waitingAtBox, QList<bool>({false, true}));
    ASSERT_EQ(messages.texts().size(), 2);
    EXPECT_EQ(messages.texts()[1], "Imprimir : 482 Printer error: there is no default printer");
    EXPECT_EQ(messages.shown()[1].iconName(), "critical");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait state ends on the error path";
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    report->close();
}
