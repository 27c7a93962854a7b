#include "support_files/TempPrefix.h"
#include "support_files/UnlistableFolder.h"

#include <gtest/gtest.h>

TEST(Cli, TreePrintsOneLinePerNodeInTreeOrder)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/b.vbp", {"Type=Exe", "Name=\"Beta\""});
    prefix.writeLines("tmp/a.vbp", {"Type=OleDll"});
    QByteArray out, err;
    ASSERT_EQ(RunCli({"tree", "c:\\tmp\\"}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_EQ(out, "root\tSistemas\t7\n"
                   "  k1\t (c:\\\\tmp\\\\a.vbp)\t7\n"
                   "  k2\tBeta (b.vbp)\t7\n");
    EXPECT_TRUE(err.isEmpty());
}

TEST(Cli, CatalogueEscapesFieldsAndTakesHostPaths)
{
    TempPrefix prefix;
    prefix.writeFile("tmp/x.vbp", "Type=Control\r\nName=\"Tab\tSe\xf1or\"\r\n");
    QByteArray out, err;
    ASSERT_EQ(RunCli({"catalogue", prefix.hostPath("tmp")}, prefix.root(), &out, &err), 0) << err.constData();
    const QList<QByteArray> lines = out.split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("ProjectIndex\tFileName\tKind\tName\tDependencyIndex\tDependencyKind\tFilePath\t"));
    EXPECT_TRUE(lines[0].endsWith("\tFileDate\tProjectPath"));
    EXPECT_EQ(lines[1], QString::fromUtf8("1\tx.vbp\t3\tTab\\tSeñor\t\t\t\t\t\t\t\t\t\t\tC:\\\\tmp\\\\x.vbp").toUtf8())
        << "the project's full path comes last";
    EXPECT_EQ(lines[2], "");
}

TEST(Cli, ExitStatusesTellAMissingFolderAndWrongUsage)
{
    TempPrefix prefix;
    QByteArray out, err;
    EXPECT_EQ(RunCli({"tree", "c:\\no\\existe"}, prefix.root(), &out, &err), 1);
    EXPECT_EQ(err, ("[critical] Carga : Path not found\nzantrel-cli: cannot read the folder c:\\no\\existe ("
                    + prefix.hostPath("no/existe") + ")\n").toUtf8());
    EXPECT_EQ(RunCli({}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"tree", "a", "b"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"frobnicate", "c:\\"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"--help"}, prefix.root(), &out, &err), 0);
    EXPECT_TRUE(out.contains("catalogue"));
}

TEST(Cli, AFolderThatCannotBeListedFailsLikeAMissingOne)
{
    TempPrefix prefix;
    prefix.writeLines("cerrada/a.vbp", {"Name=\"Alfa\""});
    UnlistableFolder closed(prefix.hostPath("cerrada"));
    QByteArray out, err;
    EXPECT_EQ(RunCli({"tree", "c:\\cerrada\\"}, prefix.root(), &out, &err, UnlistableFolder::WithoutPermissionBypass()), 1);
    EXPECT_EQ(err, ("[critical] Carga : Path/File access error\nzantrel-cli: cannot read the folder c:\\cerrada\\ ("
                    + prefix.hostPath("cerrada") + ")\n").toUtf8());
    EXPECT_TRUE(out.isEmpty());
}

TEST(Cli, AFolderThatCannotBeReadIsNamedInBothForms)
{
    TempPrefix prefix;
    QByteArray out, err;
    EXPECT_EQ(RunCli({"missing", "-r", "C:\\No\\Existe\\"}, prefix.root(), &out, &err), 1);
    EXPECT_EQ(err, ("[critical] Carga : Path not found\nzantrel-cli: cannot read the folder C:\\No\\Existe\\ ("
                    + prefix.hostPath("No/Existe") + ")\n").toUtf8());
    EXPECT_EQ(RunCli({"tree", "q:\\vb"}, prefix.root(), &out, &err), 1);
    EXPECT_TRUE(err.endsWith("zantrel-cli: cannot read the folder q:\\vb (no host folder: drive Q: is not mapped)\n"))
        << err.constData();
    EXPECT_TRUE(out.isEmpty());
}

TEST(Cli, AnEmptyFolderPrintsTheMessageAndNoNodes)
{
    TempPrefix prefix;
    prefix.makeFolder("vacio");
    QByteArray out, err;
    EXPECT_EQ(RunCli({"tree", "C:\\VACIO"}, prefix.root(), &out, &err), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "[critical] No hay proyectos en la ruta especificada.\n");
}

TEST(Cli, WithoutAFolderLoadsTheFolderOfTheSettingsFile)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/a.vbp", {"Name=\"A\""});
    prefix.writeLines("otra/b.vbp", {"Name=\"B\""});
    QByteArray out, err;
    ASSERT_EQ(RunCli({"tree"}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_EQ(out, "root\tSistemas\t7\n  k1\tA (a.vbp)\t7\n") << "a first run loads the default c:\\tmp\\";
    prefix.writeFile("windows/ZANTREL.INI", "[general]\r\npath=c:\\otra\r\n");
    ASSERT_EQ(RunCli({"tree"}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_EQ(out, "root\tSistemas\t7\n  k1\tB (b.vbp)\t7\n");
}
