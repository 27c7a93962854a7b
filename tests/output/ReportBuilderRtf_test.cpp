#include "catalogue/Catalogue.h"
#include "output/ReportBuilder.h"
#include "platform/controls/MemoryControls.h"
#include "platform/richtext/RichTextBox.h"
#include "support_files/FileBytes.h"
#include "support_files/TempPrefix.h"
#include "support_files/TestApplication.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

struct Styled {
    QString text;
    QStringList bold;
    QStringList underlined;
};

// The text and the bold and underlined runs of a document, with runs of blanks made one.
Styled styledOf(const QTextDocument& document)
{
    Styled styled;
    QString bold, underlined;
    auto flush = [](QString& run, QStringList& list) {
        if (!run.simplified().isEmpty())
            list.append(run.simplified());
        run.clear();
    };
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (format.fontWeight() > QFont::Normal)
                bold += fragment.text();
            else
                flush(bold, styled.bold);
            if (format.fontUnderline())
                underlined += fragment.text();
            else
                flush(underlined, styled.underlined);
        }
        flush(bold, styled.bold);
        flush(underlined, styled.underlined);
        styled.text += block.text() + u'\n';
    }
    styled.text = styled.text.simplified();
    return styled;
}

QString run(const QString& program, const QStringList& arguments, int timeoutMs = 120000)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A detailed report with accents, backslashes and braces, saved as rich text.
class SavedReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApplication();
        catalogue.AppendProject(1);
        int counter = 1;
        DependencyEntry entry;
        entry.Kind = DependencyKind::Reference;
        entry.FilePath = "C:\\Archivos de programa\\{común}\\ñandú.dll";
        entry.Description = "Librería de compresión € «zip»";
        entry.Guid = "{6B3A1C2D-0000-4E5F-8A9B-0C1D2E3F4A5B}";
        entry.MajorVersion = 1;
        entry.SizeKB = 12;
        entry.FileDate = "01/02/2003 04:05:06";
        catalogue.AppendDependency(1, counter, entry);
        catalogue.SetProjectFields(1, "Nóminas.vbp", ProjectKind::Exe, "Nóminas");
        controls.tree.Add(QString(), "root", "Sistemas", 7);
        controls.tree.Add("root", "k1", "Nóminas (Nóminas.vbp)", 7);
        controls.tree.SetChecked(2, true);
        BuildReport(ReportKind::Detallado, controls.tree, catalogue, controls.statusBar, nullptr, txt);
        prefix.makeFolder("tmp");
        txt.SaveFile("C:\\tmp\\informe.rtf", RichTextFormat::rtfRTF);
        saved = prefix.hostPath("tmp/informe.rtf");

        for (const TextRun& runOf : txt.Runs()) {
            if (runOf.bold)
                expected.bold.append(txt.Text().mid(runOf.start, runOf.length).simplified());
            if (runOf.underline)
                expected.underlined.append(txt.Text().mid(runOf.start, runOf.length).simplified());
        }
        expected.text = txt.Text().simplified();
    }

    TempPrefix prefix;
    Catalogue catalogue;
    MemoryControls controls;
    RichTextBox txt;
    QString saved;
    Styled expected;
};

}

TEST_F(SavedReportTest, UnrtfReadsTheSameTextAndRuns)
{
    const QString html = run("unrtf", {"--html", saved});
    ASSERT_FALSE(html.isEmpty()) << "unrtf is installed with the test dependencies (tools/install-deps test)";
    EXPECT_TRUE(html.contains("Courier New")) << html.toStdString();
    QTextDocument document;
    document.setHtml(html);
    const Styled read = styledOf(document);
    EXPECT_EQ(read.text, expected.text);
    EXPECT_EQ(read.bold, expected.bold);
    EXPECT_EQ(read.underlined, QStringList({"Informe de Dependencias"}));
    EXPECT_EQ(expected.bold.size(), 9);
}

TEST_F(SavedReportTest, LibreOfficeOpensItWithTheSameLook)
{
    QTemporaryDir work;
    const QString profile = QUrl::fromLocalFile(work.filePath("profile")).toString();
    QProcess office;
    office.start("soffice", {"-env:UserInstallation=" + profile, "--headless", "--convert-to", "html", "--outdir",
                             work.path(), saved});
    ASSERT_TRUE(office.waitForStarted(30000)) << "LibreOffice is installed with the test dependencies";
    ASSERT_TRUE(office.waitForFinished(240000));
    ASSERT_TRUE(QFileInfo::exists(work.filePath("informe.html"))) << office.readAllStandardError().toStdString();
    const QString html = QString::fromUtf8(readAll(work.filePath("informe.html")));
    EXPECT_TRUE(html.contains("face=\"Courier New")) << "the design face, not a stand-in";
    QTextDocument document;
    document.setHtml(html);
    const Styled read = styledOf(document);
    EXPECT_EQ(read.text, expected.text);
    EXPECT_EQ(read.bold, expected.bold);
    EXPECT_EQ(read.underlined, QStringList({"Informe de Dependencias"}));
}
