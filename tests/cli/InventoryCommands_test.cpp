#include "support_files/IndependentReaders.h"
#include "support_files/FixtureLibraries.h"
#include "support_files/TempPrefix.h"
#include "support_files/WineRegistryText.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

using namespace FixtureLibraries;

// Reads `bytes` with Python's own json or csv module and hands back what it read, carried as
// JSON text (rows of fields for csv). Fails the test when Python refuses the input.
QJsonValue pythonReads(const char* module, const QByteArray& bytes)
{
    const QString program = QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    const QString script =
        QString::fromLatin1(module) == "json"
            ? "import json,sys\nprint(json.dumps(json.loads(sys.stdin.buffer.read().decode('utf-8'))))"
            : "import csv,io,json,sys\n"
              "text=sys.stdin.buffer.read().decode('utf-8')\n"
              "print(json.dumps(list(csv.reader(io.StringIO(text,newline=''),strict=True))))";
    QProcess process;
    process.start(program, {"-c", script});
    process.write(bytes);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    return QJsonDocument::fromJson("[" + process.readAllStandardOutput() + "]").array().at(0);
}

// A prefix holding the fixture libraries with some of them registered, and some registrations
// that lead nowhere: each step of the resolution fails for one library.
class InventoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        prefix.writeFile("windows/system32/facturacion32.dll", Bytes("facturacion32.dll"));
        prefix.writeFile("windows/system32/controles32.ocx", Bytes("controles32.ocx"));
        prefix.writeFile("lib/nominas.tlb", Bytes("nominas.tlb"));
        prefix.writeFile("lib/inventario.tlb", Bytes("inventario.tlb"));
        prefix.writeFile("lib/texto.tlb", "this is text, not a library\r\n");
        registry.typeLib(Facturacion, "1.0", "0", "C:\\windows\\system32\\facturacion32.dll", "Facturacion")
            .typeLib(Controles, "3.0", "0", "C:\\windows\\system32\\controles32.ocx", "Controles")
            .typeLib(Nominas, "1.a", "0", "C:\\lib\\nominas.tlb", "Nominas");
    }
    int run(const QStringList& arguments)
    {
        registry.writeTo(prefix);
        return RunCli(arguments, prefix.root(), &out, &err);
    }

    TempPrefix prefix;
    WineRegistryText registry;
    QByteArray out, err;
};

QString ref(const QString& guid, const QString& version, const QString& path, const QString& name)
{
    return "Reference=*\\G" + guid + "#" + version + "#0#" + path + "#" + name;
}

}

TEST_F(InventoryTest, MissingNamesTheFirstFailedStepOfEveryUnresolvedLine)
{
    const QString stranger = "{11111111-2222-3333-4444-555555555555}";
    // Inventario registered for locale 409 only; Nominas 1.a moved away; Controles 3.0 for a
    // second GUID pointing at a text file.
    const QString moved = "{22222222-2222-3333-4444-555555555555}";
    const QString textual = "{33333333-2222-3333-4444-555555555555}";
    registry.typeLib(Inventario, "2.5", "409", "C:\\lib\\inventario.tlb", "Inventario")
        .typeLib(moved, "1.0", "0", "C:\\gone\\movida.tlb", "Movida")
        .typeLib(textual, "1.0", "0", "C:\\lib\\texto.tlb", "Texto");
    prefix.writeLines("src/otro/Otro.vbp", {"Type=Exe", "Name=\"Otro\""});
    prefix.writeLines("src/ventas/Ventas.vbp",
                      {"Type=Exe",                                                          // 1
                       ref(Facturacion, "1.0", "", "Facturacion"),                         // 2 resolves
                       ref(stranger, "1.0", "", "Nadie"),                                   // 3
                       ref(stranger, "1.0", "..\\lib\\no.tlb", "Nadie"),                    // 4
                       ref(Facturacion, "2.0", "", "Facturacion 2"),                       // 5
                       ref(Inventario, "2.5", "", "Inventario"),                           // 6
                       ref(moved, "1.0", "", "Movida"),                                     // 7
                       ref(textual, "1.0", "", "Texto"),                                    // 8
                       ref(stranger, "1.0", "c:\\lib\\texto.tlb", "Texto escrito"),         // 9
                       "Reference=basura",                                                  // 10
                       "Reference=*\\A..\\otro\\Otro.vbp",                                  // 11 exists
                       "Reference=*\\A..\\falta\\Falta.vbp",                                // 12
                       "Reference=*\\Aq:\\fuera\\de\\todo.vbp",                             // 13
                       "Object=" + Controles + "#3.0#0; controles32.ocx",                  // 14 resolves
                       "Object=" + Controles + "#4.0#0; controles32.ocx",                  // 15
                       "Object=" + stranger + "#1.0#0; NADA.OCX",                           // 16
                       "Object=sin llaves#1.0#0; x.ocx",                                    // 17
                       "Name=\"Ventas\""});
    ASSERT_EQ(run({"missing", "--format", "json", "c:\\src\\ventas"}), 3) << err.constData();
    const QJsonArray records = pythonReads("json", out).toArray();
    struct Expected {
        int line;
        const char* kind;
        const char* reason;
    };
    const Expected expected[] = {
        {3, "reference", "not registered"},        {4, "reference", "written path missing"},
        {5, "reference", "version not registered"}, {6, "reference", "locale not registered"},
        {7, "reference", "registered file missing"}, {8, "reference", "not a type library"},
        {9, "reference", "not a type library"},      {10, "reference", "unreadable line"},
        {12, "project", "project file missing"},    {13, "project", "project file missing"},
        {15, "component", "version not registered"}, {16, "component", "not registered"},
        {17, "component", "unreadable line"},
    };
    ASSERT_EQ(records.size(), std::size(expected)) << out.constData();
    for (int i = 0; i < records.size(); ++i) {
        const QJsonObject r = records[i].toObject();
        SCOPED_TRACE(expected[i].line);
        EXPECT_EQ(r["project"].toString(), "c:\\src\\ventas\\Ventas.vbp");
        EXPECT_EQ(r["line"].toInt(-1), expected[i].line) << "the line number is a number";
        EXPECT_EQ(r["kind"].toString(), expected[i].kind);
        EXPECT_EQ(r["reason"].toString(), expected[i].reason);
    }
    // Fields as written.
    const QJsonObject written = records[1].toObject();
    EXPECT_EQ(written["guid"].toString(), stranger);
    EXPECT_EQ(written["version"].toString(), "1.0");
    EXPECT_EQ(written["locale"].toString(), "0");
    EXPECT_EQ(written["path"].toString(), "..\\lib\\no.tlb");
    EXPECT_EQ(written["name"].toString(), "Nadie");
    EXPECT_EQ(records[8].toObject()["path"].toString(), "..\\falta\\Falta.vbp");
    const QJsonObject component = records[11].toObject();
    EXPECT_EQ(component["guid"].toString(), stranger);
    EXPECT_EQ(component["path"].toString(), "NADA.OCX");

    // Once the libraries are back nothing is missing, and the status says so.
    prefix.writeLines("src/ventas/Ventas.vbp", {"Type=Exe", ref(Facturacion, "1.0", "", "F"),
                                                "Reference=*\\A..\\otro\\Otro.vbp", "Name=\"Ventas\""});
    ASSERT_EQ(run({"missing", "c:\\src\\ventas"}), 0) << err.constData();
    EXPECT_EQ(out, "project\tline\tkind\tguid\tversion\tlocale\tpath\tname\treason\n");
}

TEST_F(InventoryTest, RecursiveLoadWalksTheTreeOnceInOrderAsOneLoad)
{
    for (const char* path : {"tmp/b.vbp", "tmp/A.vbp", "tmp/sub2/x.vbp", "tmp/Sub1/y.vbp", "tmp/Sub1/deep/z.vbp",
                             "tmp/.oculta/h.vbp", "otra/w.vbp"})
        prefix.writeLines(path, {"Type=Exe", ref(Facturacion, "1.0", "", "F")});
    // A loop back to the top, a second way into sub2, and a way out of the tree.
    ASSERT_TRUE(QFile::link(prefix.hostPath("tmp"), prefix.hostPath("tmp/Sub1/loop")));
    ASSERT_TRUE(QFile::link(prefix.hostPath("tmp/sub2"), prefix.hostPath("tmp/zz")));
    ASSERT_TRUE(QFile::link(prefix.hostPath("otra"), prefix.hostPath("tmp/fuera")));

    ASSERT_EQ(run({"catalogue", "-r", "--format", "csv", "c:\\tmp"}), 0) << err.constData();
    const QJsonArray rows = pythonReads("csv", out).toArray();
    QStringList paths, keys;
    for (qsizetype i = 1; i < rows.size(); ++i) {
        paths.append(rows[i].toArray().last().toString());
        keys.append(rows[i].toArray()[8].toString());
    }
    EXPECT_EQ(paths, QStringList({"c:\\tmp\\A.vbp", "c:\\tmp\\b.vbp", "c:\\tmp\\fuera\\w.vbp", "c:\\tmp\\Sub1\\y.vbp",
                                  "c:\\tmp\\Sub1\\deep\\z.vbp", "c:\\tmp\\sub2\\x.vbp"}));
    EXPECT_EQ(keys, QStringList({"REFDLL0", "REFDLL1", "REFDLL2", "REFDLL3", "REFDLL4", "REFDLL5"}))
        << "keys count on across folders";
    EXPECT_TRUE(out.endsWith("\r\n"));

    ASSERT_EQ(run({"tree", "--recursive", "c:\\tmp"}), 0);
    EXPECT_TRUE(out.contains("  k6\t (c:\\\\tmp\\\\sub2\\\\x.vbp)\t7\n")) << out.constData();
    EXPECT_FALSE(out.contains("k7"));

    // Without -r only the folder itself.
    ASSERT_EQ(run({"catalogue", "c:\\tmp"}), 0);
    EXPECT_EQ(out.count('\n'), 3);
    EXPECT_EQ(run({"catalogue", "-r", "c:\\no\\existe"}), 1);
}

TEST_F(InventoryTest, LibrariesCountProjectsOnceAndComeMostUsedFirst)
{
    const QString nominas = ref(Nominas, "1.a", "", "N");
    const QString controles = "Object=" + Controles + "#3.0#0; controles32.ocx";
    prefix.writeLines("src/a.vbp", {"Type=Exe", controles, controles, ref(Facturacion, "1.0", "", "F")});
    prefix.writeLines("src/b.vbp", {"Type=Exe", nominas, ref(Facturacion, "1.0", "", "F")});
    prefix.writeLines("src/c.vbp", {"Type=Exe", ref(Facturacion, "1.0", "", "F"), nominas});
    ASSERT_EQ(run({"libraries", "--format", "json", "c:\\src"}), 0) << err.constData();
    const QJsonArray libraries = pythonReads("json", out).toArray();
    ASSERT_EQ(libraries.size(), 3);
    EXPECT_EQ(libraries[0].toObject()["guid"].toString(), Facturacion);
    EXPECT_EQ(libraries[0].toObject()["projects"].toArray(),
              QJsonArray({"c:\\src\\a.vbp", "c:\\src\\b.vbp", "c:\\src\\c.vbp"}));
    EXPECT_EQ(libraries[1].toObject()["guid"].toString(), Nominas);
    EXPECT_EQ(libraries[1].toObject()["minorVersion"].toInt(), 10);
    EXPECT_EQ(libraries[1].toObject()["filePath"].toString(), "C:\\lib\\nominas.tlb");
    EXPECT_EQ(libraries[2].toObject()["guid"].toString(), Controles);
    EXPECT_EQ(libraries[2].toObject()["projects"].toArray(), QJsonArray({"c:\\src\\a.vbp"})) << "two lines, one project";
    EXPECT_EQ(libraries[2].toObject()["kind"].toInt(), 2);

    ASSERT_EQ(run({"libraries", "--format", "csv", "c:\\src"}), 0);
    const QJsonArray rows = pythonReads("csv", out).toArray();
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0].toArray().last().toString(), "projects");
    EXPECT_EQ(rows[2].toArray().last().toString(), "c:\\src\\b.vbp|c:\\src\\c.vbp");
}

TEST_F(InventoryTest, UsesFindsALibraryByGuidOrFileName)
{
    prefix.writeLines("src/a.vbp", {"Type=Exe", "Object=" + Controles + "#3.0#0; controles32.ocx"});
    prefix.writeLines("src/b.vbp", {"Type=Exe", ref(Facturacion, "1.0", "", "F")});
    prefix.writeLines("src/c.vbp", {"Type=Exe", ref(Nominas, "1.a", "", "N"), ref(Facturacion, "1.0", "", "F")});
    ASSERT_EQ(run({"uses", "3f2a9c10-5b7e-4d21-9a6c-0e8b1f4d7a21", "--format", "json", "c:\\src"}), 0);
    QJsonArray uses = pythonReads("json", out).toArray();
    ASSERT_EQ(uses.size(), 2);
    EXPECT_EQ(uses[0].toObject()["project"].toString(), "c:\\src\\b.vbp");
    EXPECT_EQ(uses[1].toObject()["project"].toString(), "c:\\src\\c.vbp");
    EXPECT_EQ(uses[1].toObject()["index"].toInt(), 2);
    EXPECT_EQ(uses[1].toObject()["key"].toString(), "REFDLL2");

    ASSERT_EQ(run({"uses", "{" + Facturacion.mid(1, 36).toLower() + "}", "c:\\src"}), 0);
    EXPECT_EQ(out.count('\n'), 3);
    ASSERT_EQ(run({"uses", "CONTROLES32.OCX", "--format", "json", "c:\\src"}), 0);
    uses = pythonReads("json", out).toArray();
    ASSERT_EQ(uses.size(), 1);
    EXPECT_EQ(uses[0].toObject()["filePath"].toString(), "C:\\windows\\system32\\controles32.ocx");
    EXPECT_EQ(run({"uses", "system32", "c:\\src"}), 3) << "a file name is compared whole";
    EXPECT_EQ(run({"uses", "--format", "json", "nada.ocx", "c:\\src"}), 3);
    EXPECT_EQ(out, "[]\n");
}

TEST_F(InventoryTest, HostileFieldsSurviveEveryFormat)
{
    // Quotes, commas, backslashes, a tab, control characters and a byte with no character.
    const QByteArray name = "a,\"b\"\\c\td\x01\x1f e\x81 ";
    prefix.writeFile("src/x.vbp", "Type=Exe\r\nName=\"" + name + "\"\r\n" + ref(Facturacion, "1.0", "", "F").toLatin1()
                                      + "\r\n");
    ASSERT_EQ(run({"catalogue", "--format", "json", "c:\\src"}), 0) << err.constData();
    const QJsonArray projects = pythonReads("json", out).toArray();
    ASSERT_EQ(projects.size(), 1);
    const QString expectedName = projects[0].toObject()["name"].toString();
    EXPECT_TRUE(expectedName.startsWith("a,\"b\"\\c\td\x01\x1f e")) << expectedName.toStdString();
    EXPECT_TRUE(expectedName.endsWith(" "));
    EXPECT_EQ(projects[0].toObject()["path"].toString(), "c:\\src\\x.vbp");
    EXPECT_EQ(projects[0].toObject()["kind"].toInt(), 1);
    const QJsonObject entry = projects[0].toObject()["entries"].toArray()[0].toObject();
    EXPECT_EQ(entry["guid"].toString(), Facturacion);
    EXPECT_EQ(entry["majorVersion"].toInt(-1), 1);
    EXPECT_TRUE(entry["sizeKB"].isDouble());

    ASSERT_EQ(run({"catalogue", "--format", "csv", "c:\\src"}), 0);
    const QJsonArray rows = pythonReads("csv", out).toArray();
    ASSERT_EQ(rows.size(), 2);
    // CSV keeps each record on one line and the terminal safe: control characters as \xNN.
    EXPECT_EQ(rows[1].toArray()[3].toString(), "a,\"b\"\\c\\x09d\\x01\\x1F e\\x81 ");
    EXPECT_EQ(rows[0].toArray().size(), 15);

    ASSERT_EQ(run({"catalogue", "c:\\src"}), 0);
    EXPECT_EQ(out.count('\n'), 2) << "TSV keeps each record on its line";
    EXPECT_TRUE(out.contains("a,\"b\"\\\\c\\td")) << out.constData();
}

TEST_F(InventoryTest, GraphIsValidDot)
{
    REQUIRE_JUDGE(!QStandardPaths::findExecutable("dot").isEmpty(), "Graphviz's dot");
    prefix.writeLines("src/a.vbp", {"Type=Exe", "Name=\"Al \\\"fa\\\"\"", ref(Facturacion, "1.0", "", "F"),
                                    "Reference=*\\A.\\b.vbp", "Reference=*\\A..\\falta.vbp",
                                    "Object={99999999-2222-3333-4444-555555555555}#1.0#0; x.ocx"});
    prefix.writeLines("src/b.vbp", {"Type=OleDll", "Name=\"Beta\"", ref(Facturacion, "1.0", "", "F")});
    ASSERT_EQ(run({"graph", "c:\\src"}), 0) << err.constData();
    EXPECT_TRUE(out.contains("p1 -> p2 [style=bold]")) << out.constData();
    EXPECT_TRUE(out.contains("subgraph cluster_missing"));
    QProcess dot;
    dot.start("dot", {"-Tsvg"});
    dot.write(out);
    dot.closeWriteChannel();
    ASSERT_TRUE(dot.waitForFinished(60000));
    const QByteArray svg = dot.readAllStandardOutput();
    EXPECT_EQ(dot.exitCode(), 0) << dot.readAllStandardError().constData();
    EXPECT_TRUE(svg.contains("Beta"));
    EXPECT_TRUE(svg.contains("project file missing"));
    EXPECT_TRUE(svg.contains("facturacion32.dll"));
}

TEST(InventoryUsage, WrongOptionsAreUsageErrors)
{
    TempPrefix prefix;
    QByteArray out, err;
    EXPECT_EQ(RunCli({"catalogue", "--format", "xml", "c:\\"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"catalogue", "--format"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"tree", "--format", "csv", "c:\\"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"graph", "--format", "json", "c:\\"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"uses"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"missing", "a", "b"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(RunCli({"--help"}, prefix.root(), &out, &err), 0);
    for (const char* word : {"missing", "libraries", "uses", "graph", "--recursive", "--format", "not a type library"})
        EXPECT_TRUE(out.contains(word)) << word;
}

TEST_F(InventoryTest, LinesCutShortOrWithGarbageGetAReason)
{
    const QString stranger = "{11111111-2222-3333-4444-555555555555}";
    prefix.writeLines("src/h.vbp", {"Reference=*\\G{zzz}#x.y#",              // 1 no GUID: the path tried is "x.y"
                                    "Reference=*\\G",                        // 2
                                    "Object={",                              // 3
                                    "Object=" + stranger,                    // 4 no version
                                    "Reference=*\\G" + stranger + "#99999999999.7#", // 5 a version past 16 bits
                                    "Reference=*\\A\\\\server\\share\\x.vbp", // 6 outside every drive
                                    "Name=\"H\""});
    ASSERT_EQ(run({"missing", "--format", "csv", "c:\\src"}), 3) << err.constData();
    const QJsonArray rows = pythonReads("csv", out).toArray();
    QStringList reasons;
    for (qsizetype i = 1; i < rows.size(); ++i)
        reasons.append(rows[i].toArray()[1].toString() + ' ' + rows[i].toArray()[8].toString());
    EXPECT_EQ(reasons, QStringList({"1 unreadable line", "2 unreadable line", "3 unreadable line", "4 unreadable line",
                                    "5 unreadable line", "6 project file missing"}));
    EXPECT_EQ(rows[6].toArray()[6].toString(), "\\\\server\\share\\x.vbp");
}

TEST_F(InventoryTest, UsesAlsoFindsTheLinesOfALibraryThatIsMissing)
{
    // stdole2.tlb is not on this machine: two projects name it, by GUID and by path.
    const QString stdole = "{00020430-0000-0000-C000-000000000046}";
    prefix.writeLines("src/a.vbp", {"Type=Exe", ref(stdole, "2.0", "C:\\Windows\\System32\\stdole2.tlb", "OLE Automation"),
                                    ref(Facturacion, "1.0", "", "F")});
    prefix.writeLines("src/b.vbp", {"Type=Exe", ref(stdole, "2.0", "..\\sys\\STDOLE2.TLB", "OLE Automation")});
    ASSERT_EQ(run({"uses", "stdole2.tlb", "--format", "json", "c:\\src"}), 0) << err.constData();
    QJsonArray uses = pythonReads("json", out).toArray();
    ASSERT_EQ(uses.size(), 2);
    const QJsonObject first = uses[0].toObject();
    EXPECT_EQ(first["project"].toString(), "c:\\src\\a.vbp");
    EXPECT_EQ(first["resolved"], QJsonValue(false));
    EXPECT_EQ(first["reason"].toString(), "written path missing");
    EXPECT_EQ(first["guid"].toString(), stdole);
    EXPECT_EQ(first["filePath"].toString(), "C:\\Windows\\System32\\stdole2.tlb");
    EXPECT_EQ(first["majorVersion"].toInt(-1), 2);
    EXPECT_EQ(first["index"].toInt(-1), 0) << "a line is no entry";
    EXPECT_EQ(uses[1].toObject()["project"].toString(), "c:\\src\\b.vbp");

    // By GUID, an entry that resolved and a line that did not, each marked.
    ASSERT_EQ(run({"uses", Facturacion, "--format", "csv", "c:\\src"}), 0);
    const QJsonArray rows = pythonReads("csv", out).toArray();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].toArray().at(11).toString(), "resolved");
    EXPECT_EQ(rows[1].toArray().at(11).toString(), "true");
    ASSERT_EQ(run({"uses", stdole.mid(1, 36), "c:\\src"}), 0);
    EXPECT_EQ(out.count('\n'), 3);
    EXPECT_TRUE(out.contains("\tfalse\twritten path missing\n")) << out.constData();
}

TEST_F(InventoryTest, JsonDatesAreIsoWhileTsvAndCsvKeepTheirForm)
{
    prefix.writeLines("src/a.vbp", {"Type=Exe", ref(Facturacion, "1.0", "", "F")});
    ASSERT_EQ(run({"catalogue", "--format", "json", "c:\\src"}), 0) << err.constData();
    const QString iso = pythonReads("json", out).toArray()[0].toObject()["entries"].toArray()[0].toObject()["fileDate"].toString();
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$").match(iso).hasMatch()) << iso.toStdString();
    ASSERT_EQ(run({"libraries", "--format", "json", "c:\\src"}), 0);
    EXPECT_EQ(pythonReads("json", out).toArray()[0].toObject()["fileDate"].toString(), iso);
    ASSERT_EQ(run({"catalogue", "c:\\src"}), 0);
    // 2026-12-07T10:00:00 is 07/12/2026 10:00:00 in the table forms.
    const QString table = iso.mid(8, 2) + '/' + iso.mid(5, 2) + '/' + iso.left(4) + ' ' + iso.mid(11);
    EXPECT_TRUE(out.contains(table.toLatin1())) << out.constData();
}
