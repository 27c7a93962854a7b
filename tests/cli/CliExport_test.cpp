#include "support_files/FixtureLibraries.h"
#include "support_files/IndependentReaders.h"
#include "support_files/SmallTmpfs.h"
#include "support_files/TempPrefix.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <functional>
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

// The same failure says the same thing in either format: the .xls export's messages, which the
// window shows, with the same status and nothing on standard output or left in the folder.
TEST(CliExport, EachFailureSaysTheSameInXlsAndXlsx)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Name=\"A\"",
                                    "Reference=*\\G{00000000-0000-0000-0000-000000000000}#9.9#0#x.tlb#Nada"});
    prefix.makeFolder("ocupada/proyectos.xls");
    prefix.makeFolder("ocupada/proyectos.xlsx");
    SmallTmpfs full(64);
    struct Case {
        const char* what;
        QString folder;
        std::function<QStringList()> leftBehind; // what the folder holds afterwards
    };
    auto listing = [](const QString& host) {
        return [host] { return QDir(host).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name); };
    };
    std::vector<Case> cases = {
        {"no such folder", "c:\\no\\existe", [&] { return QStringList{QString::number(QFile::exists(prefix.hostPath("no")))}; }},
        {"a drive that does not exist", "q:\\salida", [] { return QStringList(); }},
        {"a folder nobody can write, not even root", "/proc", [] { return QStringList(); }},
        {"the workbook's name taken by a folder", "c:\\ocupada", listing(prefix.hostPath("ocupada"))},
    };
    if (full.mounted()) {
        full.fill();
        cases.push_back({"a full disk", full.path(), [&] {
                             QStringList names = QDir(full.path()).entryList(QDir::Files | QDir::Hidden);
                             names.removeAll("filler");
                             return names;
                         }});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray out[2], err[2];
        const QStringList before = c.leftBehind();
        const int xls = RunCli({"export", "c:\\tmp", "-o", c.folder}, prefix.root(), &out[0], &err[0]);
        const int xlsx = RunCli({"export", "c:\\tmp", "-o", c.folder, "--format", "xlsx"}, prefix.root(), &out[1], &err[1]);
        EXPECT_EQ(xls, 1);
        EXPECT_EQ(xlsx, xls);
        EXPECT_EQ(err[0], "[critical] Error al Exportar archivo\n") << "the window's message";
        EXPECT_EQ(err[1], err[0]);
        EXPECT_TRUE(out[0].isEmpty() && out[1].isEmpty()) << out[0].constData() << out[1].constData();
        EXPECT_EQ(c.leftBehind(), before) << "nothing written, no temporary file left";
    }
    if (!full.mounted())
        std::printf("(the full disk was not tried: %s)\n", qPrintable(full.whyNot()));

    // What the .xls export copes with the .xlsx export copes with: a link planted at the
    // workbook's name is replaced, never written through; a text too long for a cell is cut.
    prefix.makeFolder("enlaces");
    prefix.writeFile("victima.txt", "intacta");
    for (const char* name : {"proyectos.xls", "proyectos.xlsx"})
        ASSERT_TRUE(QFile::link(prefix.hostPath("victima.txt"), prefix.hostPath(QString("enlaces/") + name)));
    prefix.writeFile("lib/nominas.tlb", FixtureLibraries::Bytes("nominas.tlb"));
    prefix.writeLines("tmp/largo.vbp", {"Type=Exe", "Name=\"" + QString(40000, 'n') + "\"",
                                        "Reference=*\\G" + FixtureLibraries::Nominas + "#1.a#0#c:\\lib\\nominas.tlb#N"});
    QByteArray out[2], err[2];
    EXPECT_EQ(RunCli({"export", "c:\\tmp", "-o", "c:\\enlaces"}, prefix.root(), &out[0], &err[0]), 0) << err[0].constData();
    EXPECT_EQ(RunCli({"export", "c:\\tmp", "-o", "c:\\enlaces", "--format", "xlsx"}, prefix.root(), &out[1], &err[1]), 0)
        << err[1].constData();
    EXPECT_EQ(err[1], err[0]);
    EXPECT_EQ(out[0], (prefix.hostPath("enlaces/proyectos.xls") + "\n").toUtf8());
    EXPECT_EQ(out[1], (prefix.hostPath("enlaces/proyectos.xlsx") + "\n").toUtf8());
    for (const char* name : {"proyectos.xls", "proyectos.xlsx"}) {
        EXPECT_FALSE(QFileInfo(prefix.hostPath(QString("enlaces/") + name)).isSymLink()) << name;
        EXPECT_GT(QFileInfo(prefix.hostPath(QString("enlaces/") + name)).size(), 0) << name;
    }
    EXPECT_EQ(readAll(prefix.hostPath("victima.txt")), "intacta");
}

TEST(CliExportLog, TheLogCountsTheLinesTheSheetLeavesOut)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Reference=*\\G{11111111-2222-3333-4444-555555555555}#1.0#0##Nadie",
                                    "Object={11111111-2222-3333-4444-555555555555}#1.0#0; nada.ocx"});
    prefix.writeLines("tmp/b.vbp", {"Type=Exe", "Reference=basura"});
    prefix.makeFolder("salida");
    QByteArray out, err;
    ASSERT_EQ(RunCli({"export", "c:\\tmp\\", "-o", "c:\\salida"}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_TRUE(readAll(prefix.hostPath("salida/proyectos.log")).contains("\r\nUnresolved lines (not in the sheet): 3 in 2 projects\r\nResult: written"));
}
