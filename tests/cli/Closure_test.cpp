#include "support_files/FileBytes.h"
#include "support_files/TempPrefix.h"
#include "support_files/WineRegistryText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

QByteArray importFixture(const QString& name)
{
    return readAll(QStringLiteral(ZANTREL_SOURCE_DIR "/tests/fixtures/imports/") + name);
}

// A 32-bit image that says it is one of Wine's own built-ins, as Wine marks them after the DOS
// header (the fixture's DOS stub is not needed to load it).
QByteArray wineBuiltin(QByteArray image)
{
    image.replace(0x40, 17, QByteArray("Wine builtin DLL", 17));
    return image;
}

// One line per item, for comparisons that show what differs.
std::string lines(const QStringList& list)
{
    return list.join('\n').toStdString();
}

// "file|found|how|via|system|reason" per record of one project, in order.
QStringList closureOf(const QJsonArray& records, const QString& projectFile)
{
    QStringList rows;
    for (const QJsonValue& value : records) {
        const QJsonObject r = value.toObject();
        if (!r["project"].toString().endsWith(projectFile))
            continue;
        rows.append(QStringList{r["file"].toString(), r["found"].toString(), r["how"].toString(), r["via"].toString(),
                                r["system"].toBool() ? "system" : "", r["reason"].toString()}
                        .join('|'));
    }
    return rows;
}

// A prefix of programs built from our own MinGW DLLs: the system's DLLs are KnownDLLs or Wine's
// built-ins, the programs' own DLLs lie beside them, and each project needs its files in its own
// way.
class ClosureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WineRegistryText machine;
        machine.key("System\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs")
            .value("kernel32", "kernel32.dll")
            .value("user32", "user32.dll");
        machine.writeTo(prefix);
        for (const char* system : {"kernel32.dll", "user32.dll", "oleaut32.dll"})
            prefix.writeFile(QStringLiteral("windows/system32/") + system, wineBuiltin(importFixture("comun32.dll")));
        prefix.writeFile("bin/informes32.dll", importFixture("informes32.dll"));
        prefix.writeFile("bin/comun32.dll", importFixture("comun32.dll"));
        prefix.writeFile("bin/comun32.dep", "[comun32.dll]\r\nUses1=comun64.dll\r\nUses2=extra32.dll\r\n");
        prefix.writeFile("bin/comun64.dll", importFixture("comun64.dll"));
        prefix.writeFile("src/App.vbp", "Type=Exe\r\nModule=Api; api.bas\r\nForm=Form1.frm\r\nForm=Gone.frm\r\n"
                                        "Name=\"App\"\r\nExeName32=\"informes32.dll\"\r\nPath32=\"..\\bin\"\r\n");
        prefix.writeFile("src/api.bas", "Attribute VB_Name = \"Api\"\r\n"
                                        "Private Declare Function Tick Lib \"kernel32\" Alias \"GetTickCount\" () As Long\r\n"
                                        "' Declare Function Nada Lib \"comentada\" () As Long\r\n"
                                        "Public Declare Function Sumar Lib \"sumas\" _\r\n    (ByVal a As Long) As Long\r\n");
        prefix.writeFile("src/Form1.frm", "VERSION 5.00\r\n"
                                          "Object = \"{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0\"; \"MSCOMCTL.OCX\"\r\n"
                                          "Begin VB.Form Form1\r\nEnd\r\nAttribute VB_Name = \"Form1\"\r\n");
        prefix.writeFile("lazo/Lazo.vbp", "Type=Exe\r\nName=\"Lazo\"\r\nExeName32=\"ida32.dll\"\r\n");
        prefix.writeFile("lazo/ida32.dll", importFixture("ida32.dll"));
        prefix.writeFile("lazo/vuelta32.dll", importFixture("vuelta32.dll"));
        prefix.writeFile("lazo/Diferido.vbp", "Type=Exe\r\nName=\"Diferido\"\r\nExeName32=\"diferido32.dll\"\r\n");
        prefix.writeFile("lazo/diferido32.dll", importFixture("diferido32.dll"));
        prefix.writeFile("lazo/Roto.vbp", "Type=Exe\r\nName=\"Roto\"\r\nExeName32=\"huerfano32.dll\"\r\n");
        prefix.writeFile("lazo/huerfano32.dll", importFixture("huerfano32.dll"));
        // Visual Basic's own list names what a library without a .dep beside it uses.
        prefix.writeFile("Program Files/Microsoft Visual Studio/VB98/Wizards/PDWizard/VB6DEP.INI",
                         "[Do Not Redistribute]\r\nkernel32.dll\r\n[vuelta32.dll]\r\nUses1=lista32.dll\r\nUses2=\r\n");
        prefix.writeFile("lazo/Nuevo.vbp", "Type=Exe\r\nName=\"Nuevo\"\r\nExeName32=\"Nuevo.exe\"\r\n");
    }

    QJsonArray run(const QStringList& arguments, int* status = nullptr)
    {
        QByteArray out, err;
        const int code = RunCli(arguments + QStringList{"--format", "json"}, prefix.root(), &out, &err);
        if (status)
            *status = code;
        EXPECT_TRUE(err.isEmpty()) << err.constData();
        return QJsonDocument::fromJson(out).array();
    }

    TempPrefix prefix;
};

}

// The program's imports from its own folder first, a library's beside it; the system's DLLs
// (KnownDLLs, Wine's built-ins) are named and not followed; the code's Declares by the program's
// search; a form's control the project does not list, a source file that is not there, a
// dependency file's uses, a 64-bit image: each said where a user looks.
TEST_F(ClosureTest, EveryFileTheProgramNeedsWithTheWayItIsFoundAndWhatIsWrong)
{
    const QStringList app = closureOf(run({"closure", "c:\\src"}), "App.vbp");
    EXPECT_EQ(lines(app), lines({
        "kernel32.dll|C:\\windows\\system32\\kernel32.dll|declare|App.vbp > api.bas > kernel32.dll|system|",
        "sumas.dll||declare|App.vbp > api.bas > sumas.dll||not found in the search path",
        "MSCOMCTL.OCX||form control|App.vbp > Form1.frm > MSCOMCTL.OCX||used by Form1.frm, not in the project",
        "Gone.frm||source|App.vbp > Gone.frm||source file missing, line 4",
        "informes32.dll|c:\\bin\\informes32.dll|program|App.vbp > informes32.dll||",
        "KERNEL32.dll|C:\\windows\\system32\\KERNEL32.dll|import|App.vbp > informes32.dll > KERNEL32.dll|system|",
        "OLEAUT32.dll|C:\\windows\\system32\\OLEAUT32.dll|import|App.vbp > informes32.dll > OLEAUT32.dll|system|",
        "USER32.dll|C:\\windows\\system32\\USER32.dll|import|App.vbp > informes32.dll > USER32.dll|system|",
        "comun32.dll|c:\\bin\\comun32.dll|import|App.vbp > informes32.dll > comun32.dll||",
        "KERNEL32.dll|C:\\windows\\system32\\KERNEL32.dll|import|App.vbp > informes32.dll > comun32.dll > KERNEL32.dll|system|",
        "comun64.dll|c:\\bin\\comun64.dll|dependency file|App.vbp > informes32.dll > comun32.dll > comun64.dll||64-bit image",
        "extra32.dll||dependency file|App.vbp > informes32.dll > comun32.dll > extra32.dll||not found in the search path",
    }));
}

TEST_F(ClosureTest, LoopsEndDelayImportsAreMarkedAndAProgramNotBuiltIsSaidOnce)
{
    const QJsonArray records = run({"closure", "c:\\lazo"});
    EXPECT_EQ(lines(closureOf(records, "Lazo.vbp")), lines({
        "ida32.dll|c:\\lazo\\ida32.dll|program|Lazo.vbp > ida32.dll||",
        "vuelta32.dll|c:\\lazo\\vuelta32.dll|import|Lazo.vbp > ida32.dll > vuelta32.dll||",
        "ida32.dll|c:\\lazo\\ida32.dll|import|Lazo.vbp > ida32.dll > vuelta32.dll > ida32.dll||",
        "lista32.dll||dependency file|Lazo.vbp > ida32.dll > vuelta32.dll > lista32.dll||not found in the search path",
    }));
    const QStringList delayed = closureOf(records, "Diferido.vbp");
    EXPECT_TRUE(delayed.contains("KERNEL32.dll|C:\\windows\\system32\\KERNEL32.dll|import|Diferido.vbp > diferido32.dll > KERNEL32.dll|system|"))
        << delayed.join('\n').toStdString();
    EXPECT_TRUE(delayed.contains("comun32.dll||delay import|Diferido.vbp > diferido32.dll > comun32.dll||not found in the search path"))
        << delayed.join('\n').toStdString();
    EXPECT_EQ(lines(closureOf(records, "Nuevo.vbp")), "Nuevo.exe||program|Nuevo.vbp > Nuevo.exe||not built yet");
}

// missing --deep adds what the closure cannot have (a program not built yet is no missing file)
// and says so in its exit status; libraries --deep is what a setup ships.
TEST_F(ClosureTest, MissingAndLibrariesGoDeep)
{
    int status = 0;
    EXPECT_TRUE(run({"missing", "c:\\lazo"}, &status).isEmpty());
    EXPECT_EQ(status, 0);
    const QJsonArray missing = run({"missing", "--deep", "c:\\lazo"}, &status);
    EXPECT_EQ(status, 3);
    QStringList rows;
    for (const QJsonValue& value : missing)
        rows.append(value["kind"].toString() + ' ' + value["path"].toString() + ' ' + value["reason"].toString() + " / "
                    + value["via"].toString());
    EXPECT_EQ(lines(rows), lines({"delay import comun32.dll not found in the search path / Diferido.vbp > diferido32.dll > comun32.dll",
                                 "dependency file lista32.dll not found in the search path / Lazo.vbp > ida32.dll > vuelta32.dll > lista32.dll",
                                 "import falta32.dll not found in the search path / Roto.vbp > huerfano32.dll > falta32.dll"}));

    QStringList shipped;
    for (const QJsonValue& value : run({"libraries", "--deep", "c:\\src"}))
        shipped.append(value["filePath"].toString() + ' ' + value["how"].toVariant().toStringList().join(','));
    EXPECT_EQ(lines(shipped), lines({"c:\\bin\\informes32.dll program", "c:\\bin\\comun32.dll import"}));
}

TEST(ClosureArguments, ArchAndDeepGoWhereTheyMeanSomething)
{
    TempPrefix prefix;
    QByteArray err;
    EXPECT_EQ(RunCli({"closure", "--arch", "arm64", "c:\\"}, prefix.root(), nullptr, &err), 2);
    EXPECT_TRUE(err.startsWith("zantrel-cli: --arch needs x86 or amd64, not 'arm64'")) << err.constData();
    EXPECT_EQ(RunCli({"missing", "--arch", "amd64", "c:\\"}, prefix.root(), nullptr, &err), 2);
    EXPECT_TRUE(err.startsWith("zantrel-cli: --arch goes with --deep")) << err.constData();
    EXPECT_EQ(RunCli({"catalogue", "--deep", "c:\\"}, prefix.root(), nullptr, &err), 2);
    EXPECT_TRUE(err.startsWith("zantrel-cli: --deep does not go with catalogue")) << err.constData();
}

// graph --deep draws what a setup ships by thin edges from what needs it and what cannot be had
// among the missing; Graphviz reads it.
TEST_F(ClosureTest, TheDeepGraphIsOneGraphvizReads)
{
    QByteArray out, err;
    ASSERT_EQ(RunCli({"graph", "--deep", "c:\\src"}, prefix.root(), &out, &err), 0) << err.constData();
    const QString dot = QString::fromUtf8(out);
    EXPECT_TRUE(dot.contains("  c4 [shape=note, label=\"informes32.dll\"];")) << dot.toStdString();
    EXPECT_TRUE(dot.contains("  p1 -> c4 [penwidth=0.5];\n  c4 -> c5 [penwidth=0.5];")) << dot.toStdString();
    EXPECT_TRUE(dot.contains("  p1 -> c1 [penwidth=0.5, style=dashed, color=\"#cc0000\"];")) << "sumas.dll, declared in api.bas";
    EXPECT_TRUE(dot.contains("label=\"extra32.dll\\nnot found in the search path\"")) << dot.toStdString();
    EXPECT_FALSE(dot.contains("KERNEL32")) << "the system's files are left out";
    QProcess graphviz;
    graphviz.start("dot", {"-Tsvg"});
    ASSERT_TRUE(graphviz.waitForStarted()) << "graphviz is installed with the test dependencies";
    graphviz.write(out);
    graphviz.closeWriteChannel();
    ASSERT_TRUE(graphviz.waitForFinished());
    EXPECT_EQ(graphviz.exitCode(), 0) << graphviz.readAllStandardError().constData();
    EXPECT_TRUE(graphviz.readAllStandardOutput().contains("comun32.dll"));
}

// Source paths are written every way Visual Basic accepts: "." and ".." parts, forward slashes,
// doubled separators; ".." never climbs above the drive.
TEST_F(ClosureTest, SourcePathsWithDotsAndSlashesResolveAgainstTheProjectsFolder)
{
    prefix.writeFile("a/b/sub/M.bas", "Declare Sub Uno Lib \"uno32\" ()\r\n");
    prefix.writeFile("F.frm", "Declare Sub Dos Lib \"dos32\" ()\r\n");
    prefix.writeFile("a/b/Rutas.vbp", "Type=Exe\r\nModule=M; .\\..\\b\\sub/M.bas\r\nForm=..\\..\\..\\..\\F.frm\r\n"
                                      "Form=sub\\\\\\Nada.frm\r\nName=\"Rutas\"\r\n");
    EXPECT_EQ(lines(closureOf(run({"closure", "c:\\a\\b"}), "Rutas.vbp")), lines({
        "uno32.dll||declare|Rutas.vbp > M.bas > uno32.dll||not found in the search path",
        "dos32.dll||declare|Rutas.vbp > F.frm > dos32.dll||not found in the search path",
        "sub\\\\\\Nada.frm||source|Rutas.vbp > sub\\\\\\Nada.frm||source file missing, line 4",
    }));
}

// Projects of different folders naming a source file the same way name different files: what
// one folder's "Form1.frm" holds says nothing of the other's.
TEST_F(ClosureTest, TheSameSourceNameInAnotherFolderIsAnotherFile)
{
    prefix.writeFile("dos/a/Form1.frm", "Declare Sub Uno Lib \"uno32\" ()\r\n");
    prefix.writeFile("dos/a/A.vbp", "Type=Exe\r\nForm=Form1.frm\r\nName=\"A\"\r\n");
    prefix.writeFile("dos/b/B.vbp", "Type=Exe\r\nForm=Form1.frm\r\nName=\"B\"\r\n");
    prefix.writeFile("dos/c/C.vbp", "Type=Exe\r\nForm=..\\a\\Form1.frm\r\nName=\"C\"\r\n");
    const QJsonArray records = run({"closure", "-r", "c:\\dos"});
    EXPECT_EQ(lines(closureOf(records, "A.vbp")), "uno32.dll||declare|A.vbp > Form1.frm > uno32.dll||not found in the search path");
    EXPECT_EQ(lines(closureOf(records, "B.vbp")), "Form1.frm||source|B.vbp > Form1.frm||source file missing, line 2");
    EXPECT_EQ(lines(closureOf(records, "C.vbp")), "uno32.dll||declare|C.vbp > Form1.frm > uno32.dll||not found in the search path");
}
