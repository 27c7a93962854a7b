#include "catalogue/Catalogue.h"
#include "output/frmReporte.h"
#include "platform/controls/MemoryControls.h"
#include "platform/desktop/MessageBoxes.h"
#include "support_files/TestApplication.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// The report of one project on a real CUPS printer: the cups-pdf queue that
// tests/output/start-test-printer.sh makes the default, whose PDF files pdftotext reads back.
class PrintingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApplication();
        QProcess setUp;
        setUp.start(QStringLiteral("bash"), {QStringLiteral(ZANTREL_SOURCE_DIR "/tests/output/start-test-printer.sh")});
        setUp.waitForFinished(120000);
        if (setUp.exitStatus() != QProcess::NormalExit || setUp.exitCode() != 0)
            GTEST_SKIP() << "no CUPS scheduler can run here: " << setUp.readAllStandardError().toStdString();
        pdfFolder = QString::fromLocal8Bit(setUp.readAllStandardOutput()).trimmed();

        catalogue.AppendProject(1);
        int counter = 1;
        DependencyEntry entry;
        entry.Kind = DependencyKind::Reference;
        entry.FilePath = "C:\\windows\\system32\\zlib.dll";
        entry.Description = "Librería de compresión";
        catalogue.AppendDependency(1, counter, entry);
        catalogue.SetProjectFields(1, "Stock.vbp", ProjectKind::Exe, "Stock");
        controls.tree.Add(QString(), "root", "Sistemas", 7);
        controls.tree.Add("root", "k1", "Stock (Stock.vbp)", 7);
        controls.tree.SetChecked(2, true);
    }
    void TearDown() override { qunsetenv("PRINTER"); }

    frmReporte* openReport()
    {
        auto* report = new frmReporte(controls.tree, catalogue, controls.statusBar);
        report->setTipo(0);
        report->show();
        return report;
    }

    QString pdfFolder;
    Catalogue catalogue;
    MemoryControls controls;
    ScriptedMessageBoxes messages;
};

}

TEST_F(PrintingTest, TheReportComesOutOfTheDefaultPrinter)
{
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    frmReporte* report = openReport();
    messages.script({MsgAnswer::Yes});
    report->Toolbar1_ButtonClick("cmdPrint");
    EXPECT_EQ(messages.texts(), QStringList({"Confirma imprimir informe.", "Informe impreso con éxito!"}));

    // cups-pdf writes the job's PDF a moment later.
    QString pdf;
    for (int tries = 0; tries < 600 && pdf.isEmpty(); ++tries) {
        for (const QFileInfo& file : QDir(pdfFolder).entryInfoList({"*.pdf"}, QDir::Files, QDir::Time))
            if (file.lastModified() >= started && file.size() > 0) {
                pdf = file.filePath();
                break;
            }
        if (pdf.isEmpty())
            QThread::msleep(100);
    }
    ASSERT_FALSE(pdf.isEmpty()) << "no PDF appeared in " << pdfFolder.toStdString();
    QThread::msleep(500);  // let the file be complete
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains("Informe de Dependencias")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("Proyecto    : Stock - (Stock.vbp)")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("Descripción : Librería de compresión")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("Archivo     : C:\\windows\\system32\\zlib.dll")) << printed.toStdString();
    report->close();
}

TEST_F(PrintingTest, AJobThePrinterRefusesIsAnErrorNotASuccess)
{
    qputenv("PRINTER", "ZantrelRejects");
    frmReporte* report = openReport();
    EXPECT_FALSE(report->Imprimir());
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(messages.texts()[0].startsWith("Imprimir : 482 Printer error: ")) << messages.texts()[0].toStdString();
    EXPECT_TRUE(messages.texts()[0].contains("not accepting")) << messages.texts()[0].toStdString();
    EXPECT_EQ(messages.shown()[0].iconName(), "critical");
    report->close();
}
