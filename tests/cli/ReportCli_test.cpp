#include "support_files/TempPrefix.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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
