#include "catalogue/Catalogue.h"
#include "output/frmReporte.h"
#include "platform/controls/MemoryControls.h"
#include "platform/desktop/MessageBoxes.h"
#include "support_files/TestApplication.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// A PDF file ends with its trailer's "%%EOF" once written out.
bool pdfIsWhole(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 5)
        return false;
    file.seek(std::max<qint64>(0, file.size() - 16));
    return file.readAll().trimmed().endsWith("%%EOF");
}

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
        // Under CI a printer that cannot start is a failure, so that no machine passes by skipping.
        if (setUp.exitStatus() != QProcess::NormalExit || setUp.exitCode() != 0) {
            const std::string why = setUp.readAllStandardError().toStdString();
            if (qEnvironmentVariableIsSet("CI"))
                FAIL() << "no CUPS scheduler could start (tools/install-deps test installs cups and cups-pdf): " << why;
            GTEST_SKIP() << "no CUPS scheduler can run here: " << why;
        }
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
        report->setTipo(ReportKind::Detallado);
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

    // cups-pdf writes the job's PDF a moment later; it is whole once its trailer is written.
    QString pdf;
    const QDeadlineTimer deadline(60000);
    while (pdf.isEmpty() && !deadline.hasExpired()) {
        for (const QFileInfo& file : QDir(pdfFolder).entryInfoList({"*.pdf"}, QDir::Files, QDir::Time))
            if (file.lastModified() >= started && pdfIsWhole(file.filePath())) {
                pdf = file.filePath();
                break;
            }
        if (pdf.isEmpty())
            QThread::msleep(50);
    }
    ASSERT_FALSE(pdf.isEmpty()) << "no whole PDF appeared in " << pdfFolder.toStdString() << " within a minute";
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
