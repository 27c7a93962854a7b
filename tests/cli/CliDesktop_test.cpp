#include "support_files/IndependentReaders.h"
#include "support_files/TempPrefix.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Runs zantrel-cli over `prefix` with its standard output sent to the file `outputFile`.
int RunCliInto(const QStringList& arguments, const QString& prefix, const QString& outputFile, QByteArray* err)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("WINEPREFIX", prefix);
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(outputFile);
    process.start(ZANTREL_CLI, arguments);
    process.waitForFinished(120000);
    *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

}

TEST(CliDesktop, VersionAndFormatOptions)
{
    TempPrefix prefix;
    prefix.makeFolder("tmp");
    QByteArray out, err;
    EXPECT_EQ(RunCli({"--version"}, prefix.root(), &out, &err), 0);
    EXPECT_EQ(out, "Zantrel 1.0.3\n");
    EXPECT_EQ(RunCli({"export", "c:\\tmp", "--format", "ods"}, prefix.root(), &out, &err), 2);
    EXPECT_TRUE(err.startsWith("zantrel-cli: export's --format needs xls or xlsx")) << err.constData();
    EXPECT_EQ(RunCli({"export", "c:\\tmp", "--format"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"export", "c:\\tmp", "--format", "xls", "--format", "xlsx"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"tree", "c:\\tmp", "--format", "xlsx"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"catalogue", "c:\\tmp", "--format", "xlsx"}, prefix.root(), &out, &err), 2)
        << "each verb takes only its own formats";
    EXPECT_EQ(RunCli({"--format", "json", "catalogue", "c:\\tmp"}, prefix.root(), &out, &err), 0)
        << "--format may come before the verb";
    EXPECT_EQ(RunCli({"export", "c:\\tmp", "--format", "xlsx", "-o", "c:\\no\\existe"}, prefix.root(), &out, &err), 1);
    EXPECT_TRUE(err.contains("[critical] Error al Exportar archivo\n")) << "as .xls says it: " << err.constData();
    EXPECT_TRUE(out.isEmpty());
}

TEST(CliDesktop, WithoutAPrefixOneWarningSaysNothingCanResolveAndTheLoadRuns)
{
    QTemporaryDir projects;
    QFile project(projects.path() + "/a.vbp");
    ASSERT_TRUE(project.open(QIODevice::WriteOnly));
    project.write("Type=Exe\r\nName=\"A\"\r\nReference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#stdole2.tlb#OLE\r\n");
    project.close();
    QByteArray out, err;
    EXPECT_EQ(RunCli({"tree", projects.path()}, projects.path() + "/no-prefix", &out, &err), 0);
    EXPECT_EQ(err.count("warning"), 1) << err.constData();
    EXPECT_TRUE(err.contains("no Wine prefix at " + (projects.path() + "/no-prefix").toUtf8())) << err.constData();
    EXPECT_TRUE(out.contains("A")) << "the load still runs";

    TempPrefix prefix;
    prefix.makeFolder("tmp");
    EXPECT_EQ(RunCli({"tree", "c:\\tmp"}, prefix.root(), &out, &err), 0);
    EXPECT_FALSE(err.contains("warning")) << "a prefix exists: no warning";
}

TEST(CliDesktop, AFailedWriteToStandardOutputEndsWithStatusOneAndAMessage)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Name=\"A\""});
    QByteArray err;
    EXPECT_EQ(RunCliInto({"tree", "c:\\tmp"}, prefix.root(), "/dev/full", &err), 1);
    EXPECT_TRUE(err.contains("cannot write to standard output")) << err.constData();
    EXPECT_EQ(RunCliInto({"--help"}, prefix.root(), "/dev/full", &err), 1);

    // A reader that has gone: the write fails with a broken pipe rather than killing the tool.
    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("WINEPREFIX", prefix.root());
    shell.setProcessEnvironment(environment);
    shell.start("bash", {"-c", QString("exec 3>&1; ('%1' catalogue 'c:\\tmp' 2>&3; echo \"status $?\" >&3) | (exec 0<&-; true)")
                                   .arg(ZANTREL_CLI)});
    // The reader closes at once; a sleep before the write is not needed, as the listing is
    // written after the load.
    ASSERT_TRUE(shell.waitForFinished(120000));
    const QByteArray said = shell.readAllStandardOutput();
    EXPECT_TRUE(said.contains("status 1")) << said.constData();
    EXPECT_TRUE(said.contains("Broken pipe")) << said.constData();
}

TEST(CliDesktop, ExportAsXlsxWritesTheWorkbookAndPrintsItsPath)
{
    REQUIRE_JUDGE(HaveOpenpyxl(), "python3-openpyxl");
    TempPrefix prefix;
    prefix.writeLines("tmp/a.vbp", {"Type=OleDll", "Name=\"A\""});
    prefix.makeFolder("salida");
    QByteArray out, err;
    ASSERT_EQ(RunCli({"export", "c:\\tmp\\", "--format", "xlsx", "-o", prefix.hostPath("salida")}, prefix.root(), &out, &err), 0)
        << err.constData();
    EXPECT_EQ(out, (prefix.hostPath("salida/proyectos.xlsx") + "\n").toUtf8());
    EXPECT_EQ(QDir(prefix.hostPath("salida")).entryList(QDir::Files), QStringList{"proyectos.xlsx"});
    const XlsxReadBack book = ReadXlsx(prefix.hostPath("salida/proyectos.xlsx"));
    ASSERT_TRUE(book.ok) << book.error.toStdString();
    EXPECT_EQ(book.sheets[0].maxRow, 1) << "a project without entries leaves the header row";
    EXPECT_EQ(book.sheets[0].rows[0][0].text, QString::fromUtf8("Nombre Físico"));
}
