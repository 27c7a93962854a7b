// What zantrel-cli does when its outputs meet a full disk or a planted link, and when the
// settings file cannot be read.
#include "support_files/FileBytes.h"
#include "support_files/SmallTmpfs.h"
#include "support_files/TempPrefix.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <gtest/gtest.h>

namespace {


class CliHostileFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Name=\"Alfa\""});
        prefix.writeLines("tmp/b.vbp", {"Type=OleDll", "Name=\"Beta\""});
    }
    TempPrefix prefix;
    QByteArray out, err;
};

}

TEST_F(CliHostileFiles, AFullDiskFailsTheExportAndKeepsTheGoodWorkbookAndLog)
{
    SmallTmpfs disk(64);
    REQUIRE_TMPFS(disk);
    ASSERT_EQ(RunCli({"export", "c:\\tmp\\", "-o", disk.path()}, prefix.root(), &out, &err), 0) << err.constData();
    const QByteArray workbook = readAll(disk.path() + "/proyectos.xls");
    const QByteArray log = readAll(disk.path() + "/proyectos.log");
    ASSERT_GT(workbook.size(), 0);
    disk.fill();

    EXPECT_EQ(RunCli({"export", "c:\\tmp\\", "-o", disk.path()}, prefix.root(), &out, &err), 1);
    EXPECT_EQ(err, "[critical] Error al Exportar archivo\n");
    EXPECT_TRUE(out.isEmpty()) << out.constData();
    EXPECT_EQ(readAll(disk.path() + "/proyectos.xls"), workbook) << "the good workbook must stay whole";
    EXPECT_EQ(readAll(disk.path() + "/proyectos.log"), log);
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"filler", "proyectos.log", "proyectos.xls"}))
        << "no temporary file is left";
}

TEST_F(CliHostileFiles, AFullDiskFailsTheSavedReportWithTheSystemsReason)
{
    SmallTmpfs disk(64);
    REQUIRE_TMPFS(disk);
    const QString report = disk.path() + "/informe.rtf";
    writeAll(report, "{\\rtf1 el bueno}");
    disk.fill();

    EXPECT_EQ(RunCli({"report", "c:\\tmp\\", "--summary", "-o", report}, prefix.root(), &out, &err), 1);
    EXPECT_TRUE(err.contains("[critical] GrabarReporte : 61 Disk full (No space left on device")) << err.constData();
    EXPECT_TRUE(out.isEmpty()) << out.constData();
    EXPECT_EQ(readAll(report), "{\\rtf1 el bueno}");
}

TEST_F(CliHostileFiles, ALinkAtTheWorkbookOrLogIsReplacedNotWrittenThrough)
{
    prefix.makeFolder("salida");
    const QString victim = prefix.hostPath("victima.txt");
    writeAll(victim, "nadie me nombro");
    ASSERT_TRUE(QFile::link(victim, prefix.hostPath("salida/proyectos.xls")));
    ASSERT_TRUE(QFile::link(victim, prefix.hostPath("salida/proyectos.log")));

    ASSERT_EQ(RunCli({"export", "c:\\tmp\\", "-o", prefix.hostPath("salida")}, prefix.root(), &out, &err), 0)
        << err.constData();
    EXPECT_EQ(readAll(victim), "nadie me nombro");
    EXPECT_FALSE(QFileInfo(prefix.hostPath("salida/proyectos.xls")).isSymLink());
    EXPECT_FALSE(QFileInfo(prefix.hostPath("salida/proyectos.log")).isSymLink());
    EXPECT_TRUE(readAll(prefix.hostPath("salida/proyectos.xls")).startsWith("\xD0\xCF\x11\xE0"));
}

TEST_F(CliHostileFiles, AReportNamedThroughALinkTakesItsFormatAndNameFromTheNameGiven)
{
    const QString target = prefix.hostPath("x.txt");
    writeAll(target, "viejo");
    const QString named = prefix.hostPath("tmp/informe.rtf");
    ASSERT_TRUE(QFile::link(target, named));

    ASSERT_EQ(RunCli({"report", "c:\\tmp\\", "--summary", "-o", named}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_EQ(out, (named + '\n').toUtf8()) << "the name the user gave is printed";
    EXPECT_TRUE(QFileInfo(named).isSymLink()) << "a name the user typed keeps referring where it did";
    EXPECT_TRUE(readAll(target).startsWith("{\\rtf1")) << "saved as rich text, as its name says";
}

TEST_F(CliHostileFiles, ASettingsFileThatCannotBeReadIsSaidAndLeftAlone)
{
    QByteArray big = "[general]\r\npath=c:\\tmp\\\r\n[otra]\r\n";
    big += QByteArray(17 * 1024 * 1024, ';') + "\r\n[ultima]\r\nx=1\r\n";
    prefix.writeFile("windows/ZANTREL.INI", big);

    EXPECT_EQ(RunCli({"catalogue"}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_TRUE(err.startsWith("[critical] LeerScanPath : 75 Path/File access error (")) << err.constData();
    EXPECT_TRUE(out.contains("a.vbp")) << "the default c:\\tmp\\ serves for this run";
    EXPECT_EQ(QFileInfo(prefix.hostPath("windows/ZANTREL.INI")).size(), big.size())
        << "the unreadable settings file must not be rewritten";
}

TEST_F(CliHostileFiles, ANulInsideAFieldIsEscapedInTheListing)
{
    prefix.writeFile("tmp/c.vbp", QByteArray("Type=Exe\r\nName=\"Ce") + '\0' + "ro\"\r\n");
    ASSERT_EQ(RunCli({"catalogue", "c:\\tmp\\"}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_FALSE(out.contains('\0'));
    EXPECT_TRUE(out.contains("Ce\\0ro")) << out.constData();
}

TEST_F(CliHostileFiles, NamesThatAreNotValidTextAreEachReadAsThemselves)
{
    const QByteArray folder = QFile::encodeName(prefix.hostPath("raros"));
    ASSERT_TRUE(QDir().mkpath(prefix.hostPath("raros")));
    const std::pair<QByteArray, QByteArray> files[] = {{"X\xffY.vbp", "FF"}, {"X\xfeY.vbp", "FE"}, {"X\xef\xbf\xbdY.vbp", "Real"}};
    for (const auto& [name, project] : files) {
        writeAllAtHostName(folder + '/' + name, "Type=Exe\r\nName=\"" + project + "\"\r\n");
    }
    ASSERT_EQ(RunCli({"catalogue", "c:\\raros\\"}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_TRUE(out.contains("X\\xFFY.vbp\t1\tFF")) << out.constData();
    EXPECT_TRUE(out.contains("X\\xFEY.vbp\t1\tFE")) << out.constData();
    EXPECT_TRUE(out.contains("X\xef\xbf\xbdY.vbp\t1\tReal")) << out.constData();
}

TEST_F(CliHostileFiles, ALinkAtTheSettingsFileIsSaidAndItsTargetNeverReadNorCopied)
{
    const QString secret = prefix.hostPath("secreto.txt");
    writeAll(secret, "[otra]\r\nclave=1234\r\n");
    ASSERT_TRUE(QFile::setPermissions(secret, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    prefix.makeFolder("windows");
    const QString settings = prefix.hostPath("windows/ZANTREL.INI");
    ASSERT_TRUE(QFile::link(secret, settings));

    EXPECT_EQ(RunCli({"catalogue"}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_TRUE(err.contains(("LeerScanPath : " + settings + " es un enlace simbólico").toUtf8())) << err.constData();
    EXPECT_TRUE(out.contains("a.vbp")) << "the default c:\\tmp\\ serves";
    EXPECT_FALSE(QFileInfo(settings).isSymLink());
    EXPECT_EQ(readAll(settings), "[general]\r\npath=c:\\tmp\\\r\n") << "the target's text was copied";
    EXPECT_EQ(readAll(secret), "[otra]\r\nclave=1234\r\n");
}

TEST_F(CliHostileFiles, ASettingsFileThatNeverEndsIsSaidWithoutWaitingOrFillingMemory)
{
    prefix.makeFolder("windows");
    const QString settings = prefix.hostPath("windows/ZANTREL.INI");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/urandom"), settings));
    EXPECT_EQ(RunCli({"catalogue"}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_TRUE(out.contains("a.vbp"));
    ASSERT_TRUE(QFile::remove(settings));

    ASSERT_EQ(::mkfifo(QFile::encodeName(settings).constData(), 0600), 0);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(RunCli({"catalogue"}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_LT(clock.elapsed(), 60000) << "the run waited on the FIFO";
    EXPECT_TRUE(err.startsWith("[critical] LeerScanPath : 75 Path/File access error (" + settings.toUtf8()))
        << err.constData();
    EXPECT_TRUE(out.contains("a.vbp"));
}

TEST_F(CliHostileFiles, ASettingsFileThatCannotBeWrittenAtFirstRunIsSaid)
{
    // C:\windows taken by a file: the settings file can be neither read nor made there.
    ASSERT_TRUE(QDir(prefix.hostPath("windows")).removeRecursively());
    writeAll(prefix.hostPath("windows"), "no es una carpeta");
    EXPECT_EQ(RunCli({"catalogue"}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_TRUE(err.contains("[critical] LeerScanPath : 75 Path/File access error (")) << err.constData();
    EXPECT_TRUE(err.contains("ZANTREL.INI")) << err.constData();
    EXPECT_TRUE(out.contains("a.vbp")) << "the default c:\\tmp\\ serves for this run";
}

TEST_F(CliHostileFiles, ALogThatCannotBeWrittenFailsTheExportAndSaysTheWorkbookWasWritten)
{
    prefix.makeFolder("salida/proyectos.log");
    EXPECT_EQ(RunCli({"export", "c:\\tmp\\", "-o", prefix.hostPath("salida")}, prefix.root(), &out, &err), 1)
        << err.constData();
    EXPECT_TRUE(err.contains("[critical] ExportarExcel : se grabó ")) << err.constData();
    EXPECT_TRUE(err.contains("pero no su log")) << err.constData();
    EXPECT_TRUE(readAll(prefix.hostPath("salida/proyectos.xls")).startsWith("\xD0\xCF\x11\xE0"));
    EXPECT_TRUE(QFileInfo(prefix.hostPath("salida/proyectos.log")).isDir());
}
