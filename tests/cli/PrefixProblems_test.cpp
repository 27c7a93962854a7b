#include "support_files/FixtureLibraries.h"
#include "support_files/TempPrefix.h"
#include "support_files/WineRegistryText.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kStdole = QStringLiteral("{00020430-0000-0000-C000-000000000046}");

QString ref(const QString& guid, const QString& version, const QString& path, const QString& name)
{
    return "Reference=*\\G" + guid + "#" + version + "#0#" + path + "#" + name;
}

QJsonArray missingRecords(const QString& prefix, const QStringList& arguments, QByteArray* err, int* status)
{
    QByteArray out;
    *status = RunCli(QStringList{"missing", "--format", "json"} + arguments, prefix, &out, err);
    return QJsonDocument::fromJson(out).array();
}

// "line reason" of each record, in order.
QStringList lineReasons(const QJsonArray& records)
{
    QStringList reasons;
    for (const QJsonValue& r : records)
        reasons.append(QString::number(r["line"].toInt()) + ' ' + r["reason"].toString());
    return reasons;
}

}

// A prefix as Debian's wine64 alone makes it: Wine's 64-bit system32, an empty syswow64, and
// every library registered under win64 only. Each line gets the first step that fails for a
// 32-bit program, and the run says once what is wrong with the prefix.
TEST(PrefixProblems, APrefixWithoutWines32BitHalfSaysWhyAndEveryLineGetsItsTrueReason)
{
    TempPrefix prefix;
    prefix.writeFile("windows/system32/kernel32.dll", "MZ");
    prefix.writeFile("windows/system32/stdole2.tlb", FixtureLibraries::Bytes("facturacion.tlb"));
    prefix.writeFile("windows/system32/controles32.ocx", FixtureLibraries::Bytes("controles32.ocx"));
    prefix.writeFile("windows/system32/nominas.tlb", FixtureLibraries::Bytes("nominas.tlb"));
    prefix.makeFolder("windows/syswow64");
    prefix.writeFile("lib/inventario.tlb", FixtureLibraries::Bytes("inventario.tlb"));
    WineRegistryText machine(WineRegistryText::Hive::Machine, true);
    machine.typeLib64(kStdole, "2.0", "0", "C:\\windows\\system32\\stdole2.tlb", "OLE Automation")
        .typeLib64(FixtureLibraries::Controles, "3.0", "0", "C:\\windows\\system32\\controles32.ocx", "Controles")
        // Registered for 32-bit programs by hand, but the file only went to the 64-bit folder.
        .typeLib(FixtureLibraries::Nominas, "1.a", "0", "C:\\windows\\system32\\nominas.tlb", "Nominas")
        .typeLib(FixtureLibraries::Facturacion, "1.0", "0", "C:\\windows\\system32\\gone.dll", "Facturacion")
        // Registered as it should be: it resolves.
        .typeLib(FixtureLibraries::Inventario, "2.5", "0", "C:\\lib\\inventario.tlb", "Inventario")
        // Locale 409 under win64, but the load asks for locale 0: the locale fails first.
        .typeLib64("{44444444-2222-3333-4444-555555555555}", "1.0", "409", "C:\\x.tlb", "Ingles");
    machine.writeTo(prefix);
    prefix.writeLines("src/Ventas.vbp",
                      {"Type=Exe",                                                                    // 1
                       ref(kStdole, "2.0", "..\\..\\..\\..\\Windows\\SysWOW64\\stdole2.tlb", "OLE Automation"), // 2
                       ref(FixtureLibraries::Nominas, "1.a", "", "Nominas"),                         // 3
                       ref(FixtureLibraries::Facturacion, "1.0", "", "Facturacion"),                 // 4
                       ref(FixtureLibraries::Inventario, "2.5", "", "Inventario"),                   // 5 resolves
                       ref("{44444444-2222-3333-4444-555555555555}", "1.0", "", "Ingles"),           // 6
                       ref("{55555555-2222-3333-4444-555555555555}", "1.0", "c:\\windows\\system32\\nominas.tlb",
                           "Escrita"),                                                               // 7
                       ref("{55555555-2222-3333-4444-555555555555}", "1.0", "c:\\windows\\system32\\no.tlb",
                           "Escrita"),                                                               // 8
                       "Object=" + FixtureLibraries::Controles + "#3.0#0; controles32.ocx",          // 9
                       "Name=\"Ventas\""});
    QByteArray err;
    int status = 0;
    const QJsonArray records = missingRecords(prefix.root(), {"c:\\src"}, &err, &status);
    EXPECT_EQ(status, 3) << err.constData();
    EXPECT_EQ(lineReasons(records), QStringList({"2 registered for 64-bit Windows only",
                                                 "3 only in the 64-bit system folder",
                                                 "4 registered file missing",
                                                 "6 locale not registered",
                                                 "7 only in the 64-bit system folder",
                                                 "8 written path missing",
                                                 "9 registered for 64-bit Windows only"}));
    EXPECT_EQ(err.count("zantrel-cli: warning: "), 1) << err.constData();
    EXPECT_TRUE(err.startsWith("zantrel-cli: warning: the Wine prefix at " + prefix.root().toUtf8() + " "))
        << err.constData();
    EXPECT_TRUE(err.contains("apt install wine32")) << err.constData();
    EXPECT_TRUE(err.endsWith(".\n")) << "one line: " << err.constData();
}

TEST(PrefixProblems, OnlyAPrefixThatCannotAnswerIsWarnedAbout)
{
    {
        SCOPED_TRACE("no prefix: today's warning, word for word");
        QTemporaryDir home;
        QFile project(home.path() + "/a.vbp");
        ASSERT_TRUE(project.open(QIODevice::WriteOnly));
        project.write("Type=Exe\r\nName=\"A\"\r\n");
        project.close();
        QByteArray out, err;
        EXPECT_EQ(RunCli({"tree", home.path()}, home.path() + "/nada", &out, &err), 0);
        EXPECT_EQ(err, "zantrel-cli: warning: no Wine prefix at " + home.path().toUtf8() + "/nada ($WINEPREFIX, else "
                       "~/.wine): no reference or component can be resolved\n");
    }
    {
        SCOPED_TRACE("both halves of Wine: the 32-bit registration and folder are there");
        TempPrefix prefix;
        prefix.writeFile("windows/system32/kernel32.dll", "MZ");
        prefix.writeFile("windows/syswow64/kernel32.dll", "MZ");
        WineRegistryText machine(WineRegistryText::Hive::Machine, true);
        machine.typeLib64(kStdole, "2.0", "0", "C:\\windows\\system32\\stdole2.tlb", "OLE Automation")
            .key("Software\\Classes\\Typelib\\" + kStdole + "\\2.0\\0\\win32")
            .value("", "C:\\windows\\system32\\stdole2.tlb");
        machine.writeTo(prefix);
        prefix.writeLines("src/a.vbp", {"Type=Exe", "Name=\"A\""});
        QByteArray out, err;
        EXPECT_EQ(RunCli({"tree", "c:\\src"}, prefix.root(), &out, &err), 0);
        EXPECT_TRUE(err.isEmpty()) << err.constData();
    }
}

// Object=*\Apath names the project file whose controls a project uses: a project line, as
// Reference=*\Apath is, absolute against the project's folder, missing only when the file is.
TEST(PrefixProblems, AnObjectLineNamingAProjectFileIsAProjectReference)
{
    TempPrefix prefix;
    prefix.writeLines("src/Controles/Controles.vbp", {"Type=Control", "Name=\"Controles\""});
    prefix.writeLines("src/Ventas/Ventas.vbp", {"Type=Exe",                                       // 1
                                                "Object=*\\A..\\Controles\\Controles.vbp",       // 2 exists
                                                "Object=*\\A..\\Falta\\Falta.vbp",               // 3
                                                "Object=*\\aq:\\fuera\\de\\todo.vbp",            // 4
                                                "Reference=*\\A..\\Falta\\Falta.vbp",            // 5
                                                "Name=\"Ventas\""});
    QByteArray err;
    int status = 0;
    const QJsonArray records = missingRecords(prefix.root(), {"-r", "c:\\src"}, &err, &status);
    EXPECT_EQ(status, 3) << err.constData();
    ASSERT_EQ(records.size(), 3) << QJsonDocument(records).toJson().constData();
    const int lines[] = {3, 4, 5};
    const char* paths[] = {"..\\Falta\\Falta.vbp", "q:\\fuera\\de\\todo.vbp", "..\\Falta\\Falta.vbp"};
    for (int i = 0; i < 3; ++i) {
        const QJsonObject r = records[i].toObject();
        SCOPED_TRACE(lines[i]);
        EXPECT_EQ(r["line"].toInt(), lines[i]);
        EXPECT_EQ(r["kind"].toString(), "project");
        EXPECT_EQ(r["reason"].toString(), "project file missing");
        EXPECT_EQ(r["path"].toString(), paths[i]) << "the path as written";
        EXPECT_EQ(r["guid"].toString(), "");
        EXPECT_EQ(r["version"].toString(), "");
    }

    // The graph draws the line that names a loaded project as an edge to it, and the missing
    // one in the missing box, as for Reference=*\A.
    QByteArray out;
    ASSERT_EQ(RunCli({"graph", "-r", "c:\\src"}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_TRUE(out.contains("p2 -> p1 [style=bold]")) << out.constData();
    EXPECT_TRUE(out.contains("\"Falta.vbp\\nproject file missing\"")) << out.constData();
    EXPECT_FALSE(out.contains("unreadable line")) << out.constData();
}
