#include "support_files/FileBytes.h"
#include "support_files/TempPrefix.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ReportCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Name=\"Alfa\""});
        prefix.writeLines("tmp/b.vbp", {"Type=Exe", "Name=\"Beta\""});
    }
    TempPrefix prefix;
    QByteArray out, err;
};

}

TEST_F(ReportCli, SavesTheReportOfEveryProjectByTheWindowsNameRules)
{
    ASSERT_EQ(RunCli({"report", "c:\\tmp\\", "--summary", "-o", "C:\\tmp\\informe"}, prefix.root(), &out, &err), 0)
        << err.constData();
    EXPECT_EQ(out, (prefix.hostPath("tmp/informe.rtf") + '\n').toUtf8()) << "no \".\": rich text under name.rtf";
    const QByteArray rtf = readAll(prefix.hostPath("tmp/informe.rtf"));
    EXPECT_TRUE(rtf.startsWith("{\\rtf1")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("Alfa")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("Beta")) << rtf.constData();

    ASSERT_EQ(RunCli({"report", "c:\\tmp\\", "--detailed", "--project", "Beta", "-o", prefix.hostPath("tmp/b.txt")},
                     prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_EQ(readAll(prefix.hostPath("tmp/b.txt")), "Informe de Dependencias\r\n\r\nProyecto    : Beta - (b.vbp)\r\n\r\n");
}

TEST_F(ReportCli, WrongUsageAndMissingProjectsFail)
{
    EXPECT_EQ(RunCli({"report", "c:\\tmp\\", "-o", "C:\\tmp\\x.txt"}, prefix.root(), &out, &err), 2) << "no kind";
    EXPECT_EQ(RunCli({"report", "c:\\tmp\\", "--summary", "--detailed", "-o", "C:\\tmp\\x.txt"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"report", "c:\\tmp\\", "--summary"}, prefix.root(), &out, &err), 2) << "nowhere to put it";
    EXPECT_EQ(RunCli({"tree", "c:\\tmp\\", "--summary"}, prefix.root(), &out, &err), 2);

    EXPECT_EQ(RunCli({"report", "c:\\tmp\\", "--summary", "--project", "Gamma", "-o", "C:\\tmp\\x.txt"}, prefix.root(),
                     &out, &err), 1);
    EXPECT_TRUE(err.contains("Gamma")) << err.constData();
    EXPECT_EQ(RunCli({"report", "c:\\tmp\\", "--summary", "-o", "C:\\no\\existe\\x.txt"}, prefix.root(), &out, &err), 1);
    EXPECT_TRUE(err.contains("[critical] GrabarReporte : 76 Path not found")) << err.constData();
}

TEST_F(ReportCli, ProjectsAreSelectedByFileNameOrBySharedNameEachOnce)
{
    // Three projects named Project1, as Visual Basic names every new project.
    prefix.writeLines("tmp/Facturas.vbp", {"Type=Exe", "Name=\"Project1\""});
    prefix.writeLines("tmp/Nomina.vbp", {"Type=Exe", "Name=\"Project1\""});
    prefix.writeLines("tmp/Stock.vbp", {"Type=Exe", "Name=\"Project1\""});
    const QString pad(32, u' ');

    ASSERT_EQ(RunCli({"report", "c:\\tmp\\", "--summary", "--project", "FACTURAS.vbp", "--project", "stock.VBP", "-o",
                      prefix.hostPath("tmp/f.txt")}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_EQ(readAll(prefix.hostPath("tmp/f.txt")),
              ("Informe de Dependencias\r\n\r\nProject1" + pad + " - Facturas.vbp\r\nProject1" + pad + " - Stock.vbp\r\n")
                  .toLatin1());

    ASSERT_EQ(RunCli({"report", "c:\\tmp\\", "--summary", "--project", "Project1", "--project", "Nomina.vbp", "-o",
                      prefix.hostPath("tmp/p.txt")}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_EQ(readAll(prefix.hostPath("tmp/p.txt")),
              ("Informe de Dependencias\r\n\r\nProject1" + pad + " - Facturas.vbp\r\nProject1" + pad +
               " - Nomina.vbp\r\nProject1" + pad + " - Stock.vbp\r\n").toLatin1())
        << "a shared Name selects all three, and naming one twice writes it once";

    EXPECT_EQ(RunCli({"report", "c:\\tmp\\", "--summary", "--project", "project1", "-o", prefix.hostPath("tmp/x.txt")},
                     prefix.root(), &out, &err), 1) << "a Name is compared exactly";
}

TEST(ReportCliQtMessages, OnlyTheUnsetRuntimeFolderWarningIsDropped)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Name=\"Alfa\""});
    const QString saved = prefix.hostPath("tmp/informe.txt");
    QByteArray out, err;
    ASSERT_EQ(RunCli({"report", "c:\\tmp\\", "--summary", "-o", saved}, prefix.root(), &out, &err,
                     {"env", "-u", "XDG_RUNTIME_DIR"}), 0) << err.constData();
    EXPECT_FALSE(err.contains("XDG_RUNTIME_DIR")) << err.constData();
    EXPECT_TRUE(QFile::exists(saved));

    // Qt's other warnings still reach standard error: a runtime folder others may read is one.
    QTemporaryDir runtime;
    ASSERT_TRUE(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                          | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                                          | QFile::ExeOther));
    ASSERT_EQ(RunCli({"report", "c:\\tmp\\", "--summary", "-o", saved}, prefix.root(), &out, &err,
                     {"env", "XDG_RUNTIME_DIR=" + runtime.path()}), 0) << err.constData();
    EXPECT_TRUE(err.contains("QStandardPaths: wrong permissions on runtime directory")) << err.constData();
}
