#include "support_files/IndependentReaders.h"
#include "support_files/TempPrefix.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

TEST(CliExport, WritesTheWorkbookAndItsLogIntoTheGivenFolder)
{
    REQUIRE_JUDGE(HaveXlrd(), "python3-xlrd");
    TempPrefix prefix;
    prefix.writeLines("tmp/b.vbp", {"Type=Exe", "Name=\"Beta\"", "Reference=*\\G{00000000-0000-0000-0000-000000000000}#9.9#0#x.tlb#Nada"});
    prefix.writeLines("tmp/a.vbp", {"Type=OleDll"});
    prefix.makeFolder("salida");
    QByteArray out, err;
    ASSERT_EQ(RunCli({"export", "c:\\tmp\\", "-o", prefix.hostPath("salida")}, prefix.root(), &out, &err), 0)
        << err.constData();
    EXPECT_EQ(out, (prefix.hostPath("salida/proyectos.xls") + "\n").toUtf8());
    EXPECT_TRUE(err.isEmpty()) << err.constData();
    EXPECT_EQ(QDir(prefix.hostPath("salida")).entryList(QDir::Files, QDir::Name),
              (QStringList{"proyectos.log", "proyectos.xls"}));
    // Nothing resolves in an empty prefix: two projects without entries leave the header row.
    const XlsReadBack book = ReadXls(prefix.hostPath("salida/proyectos.xls"));
    ASSERT_TRUE(book.ok) << book.error.toStdString();
    ASSERT_EQ(book.sheets.size(), 1);
    EXPECT_EQ(book.sheets[0].nrows, 1);
    EXPECT_EQ(book.sheets[0].rows[0].value(0), QString::fromUtf8("Nombre Físico"));
}

TEST(CliExport, AnUnwritableFolderFailsWithTheMessageAndStatusOne)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Name=\"A\""});
    QByteArray out, err;
    EXPECT_EQ(RunCli({"export", "c:\\tmp", "-o", "c:\\no\\existe"}, prefix.root(), &out, &err), 1);
    EXPECT_EQ(err, "[critical] Error al Exportar archivo\n");
    EXPECT_TRUE(out.isEmpty());
    EXPECT_FALSE(QFile::exists(prefix.hostPath("no")));
}

TEST(CliExport, TheOutputOptionNeedsAFolderAndGoesWithExportOnly)
{
    TempPrefix prefix;
    prefix.makeFolder("tmp");
    QByteArray out, err;
    EXPECT_EQ(RunCli({"export", "c:\\tmp", "-o"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"export", "c:\\tmp", "-o", "c:\\a", "-o", "c:\\b"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"tree", "c:\\tmp", "-o", "c:\\tmp"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"--help"}, prefix.root(), &out, &err), 0);
    EXPECT_TRUE(out.contains("export")) << out.constData();
}
