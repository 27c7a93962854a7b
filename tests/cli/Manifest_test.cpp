#include "platform/files/ByteSource.h"
#include "platform/typelib/PeResources.h"
#include "support_files/FileBytes.h"
#include "support_files/TempPrefix.h"
#include "support_files/WineRegistryText.h"

#include <QDomDocument>
#include <QFile>
#include <gtest/gtest.h>
#include <string_view>

namespace {

const QString kLibrary = "{B93E2C91-8ACC-46BC-8E15-BCA4A3DEE7E7}";
const QString kReloj = "{EE9C1D19-7B2C-4589-8060-A8F1EE98A0E3}";
const QString kAlarma = "{CC166B3A-1FE6-49D4-9E8D-64871024F4BF}";

QString reference(const QString& path)
{
    return "Reference=*\\G" + kLibrary + "#1.0#0#" + path + "#Relojeria";
}

// A prefix where the clock server is registered as its registration leaves it (Reloj with its
// program ids, threading model and OLEMISC status; Alarma left to what the library says), and a
// program project that uses it.
class ManifestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        prefix.writeFile("programa/reloj32.dll", readAll(ZANTREL_SOURCE_DIR "/tests/fixtures/com/reloj32.dll"));
        WineRegistryText()
            .typeLib(kLibrary, "1.0", "0", "C:\\programa\\reloj32.dll", "Relojeria")
            .key("Software\\Classes\\CLSID\\" + kReloj + "\\InprocServer32").value("", "C:\\programa\\reloj32.dll")
            .value("ThreadingModel", "Both")
            .key("Software\\Classes\\CLSID\\" + kReloj + "\\ProgID").value("", "Relojeria.Reloj.1")
            .key("Software\\Classes\\CLSID\\" + kReloj + "\\VersionIndependentProgID").value("", "Relojeria.Reloj")
            .key("Software\\Classes\\CLSID\\" + kReloj + "\\MiscStatus").value("", "131473")
            .key("Software\\Classes\\CLSID\\" + kReloj + "\\MiscStatus\\1").value("", "1024")
            .writeTo(prefix);
        prefix.writeFile("src/App.vbp", ("Type=Exe\r\n" + reference("C:\\programa\\reloj32.dll") + "\r\nName=\"Mi App\"\r\n"
                                         "Title=\"La aplicación\"\r\nExeName32=\"app.exe\"\r\nPath32=\"..\\programa\"\r\n"
                                         "MajorVer=2\r\nMinorVer=3\r\nRevisionVer=45\r\n")
                                            .toLatin1());
    }

    int run(const QStringList& arguments)
    {
        return RunCli(QStringList{"manifest"} + arguments, prefix.root(), &out, &err);
    }

    QDomElement manifest(const QString& belowDriveC)
    {
        document.setContent(readAll(prefix.hostPath(belowDriveC)), true);
        return document.documentElement();
    }

    TempPrefix prefix;
    QByteArray out, err;
    QDomDocument document;
};

QDomElement classNamed(const QDomElement& file, const QString& clsid)
{
    for (QDomElement c = file.firstChildElement("comClass"); !c.isNull(); c = c.nextSiblingElement("comClass"))
        if (c.attribute("clsid") == clsid)
            return c;
    return {};
}

}

// The program's manifest beside it: its identity from the project, its library with the type
// library and both classes, what the registry says of each class and nothing it does not.
TEST_F(ManifestTest, TheProgramsManifestSaysWhatTheLibraryAndTheRegistryKnow)
{
    ASSERT_EQ(run({"c:\\src"}), 0) << err.constData();
    EXPECT_EQ(out, prefix.hostPath("programa/app.exe.manifest").toUtf8() + "\n");
    const QDomElement assembly = manifest("programa/app.exe.manifest");
    const QDomElement identity = assembly.firstChildElement("assemblyIdentity");
    EXPECT_EQ(identity.attribute("name"), "Mi_App");
    EXPECT_EQ(identity.attribute("version"), "2.3.0.45");
    EXPECT_EQ(identity.attribute("processorArchitecture"), "x86");
    EXPECT_EQ(assembly.firstChildElement("description").text(), QString::fromUtf8("La aplicación"));
    const QDomElement file = assembly.firstChildElement("file");
    EXPECT_EQ(file.attribute("name"), "reloj32.dll");
    EXPECT_EQ(file.firstChildElement("typelib").attribute("tlbid"), kLibrary);
    EXPECT_EQ(file.firstChildElement("typelib").attribute("version"), "1.0");

    const QDomElement reloj = classNamed(file, kReloj);
    EXPECT_EQ(reloj.attribute("threadingModel"), "Both");
    EXPECT_EQ(reloj.attribute("progid"), "Relojeria.Reloj.1");
    EXPECT_EQ(reloj.firstChildElement("progid").text(), "Relojeria.Reloj");
    EXPECT_EQ(reloj.attribute("miscStatus"), "recomposeonresize,cantlinkinside,insideout,activatewhenvisible,setclientsitefirst");
    EXPECT_EQ(reloj.attribute("miscStatusContent"), "invisibleatruntime");
    const QDomElement alarma = classNamed(file, kAlarma);
    EXPECT_EQ(alarma.attribute("threadingModel"), "Apartment") << "not registered: as Visual Basic made them";
    EXPECT_FALSE(alarma.hasAttribute("progid")) << "a program id that cannot be known is not made up";
    EXPECT_EQ(assembly.elementsByTagName("comInterfaceExternalProxyStub").count(), 2) << "IReloj and IAlarma";
}

// A manifest of ours is replaced; a file of that name we did not write is kept unless --force;
// an ActiveX EXE and a library the load could not find are left out and said, with status 3.
TEST_F(ManifestTest, WhatCannotBeCoveredIsSaidAndNothingForeignIsOverwritten)
{
    ASSERT_EQ(run({"c:\\src"}), 0) << err.constData();
    ASSERT_EQ(run({"c:\\src"}), 0) << "our own manifest is replaced: " << err.constData();

    prefix.writeFile("programa/app.exe.manifest", "<assembly>mine</assembly>");
    EXPECT_EQ(run({"c:\\src"}), 1);
    EXPECT_TRUE(err.contains("exists and was not written by Zantrel: it is kept (--force replaces it)")) << err.constData();
    EXPECT_EQ(readAll(prefix.hostPath("programa/app.exe.manifest")), "<assembly>mine</assembly>");
    EXPECT_EQ(run({"c:\\src", "--force"}), 0) << err.constData();
    EXPECT_TRUE(readAll(prefix.hostPath("programa/app.exe.manifest")).contains("Relojeria"));

    // The library registered as an ActiveX EXE's: its classes run in the program's own process.
    prefix.writeFile("servidor/informes.exe", readAll(ZANTREL_SOURCE_DIR "/tests/fixtures/com/reloj32.dll"));
    WineRegistryText().typeLib(kLibrary, "1.0", "0", "C:\\servidor\\informes.exe", "Relojeria").writeTo(prefix);
    prefix.writeFile("src/App.vbp", ("Type=Exe\r\n" + reference("C:\\servidor\\informes.exe")
                                     + "\r\nReference=*\\G{11111111-2222-3333-4444-555555555555}#1.0#0#C:\\no\\hay.dll#Nada\r\n"
                                       "Name=\"App\"\r\n")
                                        .toLatin1());
    prefix.writeFile("src/Libreria.vbp", "Type=OleDll\r\nName=\"Libreria\"\r\n");
    EXPECT_EQ(run({"c:\\src", "-o", prefix.hostPath("salida")}), 1) << "a folder that is not there";
    EXPECT_TRUE(err.contains("cannot write")) << err.constData();
    prefix.makeFolder("salida");
    EXPECT_EQ(run({"c:\\src", "-o", prefix.hostPath("salida")}), 3);
    EXPECT_TRUE(err.contains("App.vbp: informes.exe left out: an out-of-process server (ActiveX EXE)")) << err.constData();
    EXPECT_FALSE(readAll(prefix.hostPath("salida/App.exe.manifest")).contains("<file")) << "nothing else to name";
    EXPECT_TRUE(err.contains("left out: not found: ")) << err.constData();
    EXPECT_TRUE(QFile::exists(prefix.hostPath("salida/App.exe.manifest"))) << "without ExeName32, the project's Name";
    EXPECT_FALSE(QFile::exists(prefix.hostPath("salida/Libreria.exe.manifest"))) << "a library gets no application manifest";

    EXPECT_EQ(run({"c:\\src", "--project", "Nadie"}), 1);
    EXPECT_TRUE(err.contains("no project named \"Nadie\"")) << err.constData();
    EXPECT_EQ(run({"c:\\src", "--summary"}), 2) << "a report option";
}

// Copies of one project in one folder name one program: its manifest is written once, for the
// first, and each other copy is said, never silently written over.
TEST_F(ManifestTest, ProgramsOfOneNameInOneFolderGetOneManifestAndTheRestAreSaid)
{
    prefix.writeFile("src/Copia.vbp", readAll(prefix.hostPath("src/App.vbp")));
    EXPECT_EQ(run({"c:\\src"}), 3);
    EXPECT_EQ(out, prefix.hostPath("programa/app.exe.manifest").toUtf8() + "\n");
    EXPECT_TRUE(err.contains("Copia.vbp: c:\\programa\\app.exe.manifest left out: not written: it is also the manifest of "
                             "App.vbp, written first"))
        << err.constData();
}

namespace {

std::uint32_t le32At(const QByteArray& bytes, qsizetype at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | std::uint8_t(bytes[at + i]);
    return value;
}

// The server with its first class marked licensed (TYPEFLAG_FLICENSED) in its type library.
QByteArray licensedServer()
{
    QByteArray image = readAll(ZANTREL_SOURCE_DIR "/tests/fixtures/com/reloj32.dll");
    const MemorySource source(std::string_view(image.constData(), std::size_t(image.size())));
    const auto range = FindPeResource(source, u"TYPELIB", 1);
    if (!range)
        return {};
    const qsizetype library = qsizetype(range->offset);
    const std::uint32_t count = le32At(image, library + 0x20);
    const qsizetype directory = library + 0x54 + 4 * qsizetype(count) + ((le32At(image, library + 0x14) & 0x100) ? 4 : 0);
    const qsizetype infos = library + qsizetype(le32At(image, directory));
    for (std::uint32_t i = 0; i < count; ++i) {
        const qsizetype info = infos + qsizetype(i) * 0x64;
        if ((le32At(image, info) & 0xf) == 5) {
            image[info + 0x30] = char(image[info + 0x30] | 0x4);
            return image;
        }
    }
    return {};
}

}

// A licensed control cannot go into a manifest, which has no place for its license: its library
// is left out and said.
TEST_F(ManifestTest, ALicensedControlIsLeftOutWithTheReason)
{
    const QByteArray licensed = licensedServer();
    ASSERT_FALSE(licensed.isEmpty());
    prefix.writeFile("programa/reloj32.dll", licensed);
    EXPECT_EQ(run({"c:\\src"}), 3);
    EXPECT_TRUE(err.contains("App.vbp: reloj32.dll left out: a licensed control (Reloj): the manifest cannot carry its license"))
        << err.constData();
    EXPECT_FALSE(readAll(prefix.hostPath("programa/app.exe.manifest")).contains("<file"));
}
