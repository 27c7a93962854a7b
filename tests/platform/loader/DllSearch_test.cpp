#include "platform/loader/DllSearch.h"
#include "support_files/FileBytes.h"
#include "support_files/TempPrefix.h"
#include "support_files/WineRegistryText.h"

#include <gtest/gtest.h>

namespace {

// A prefix where one name lies in several folders of the search, so each answer tells which
// folder won.
class DllSearchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WineRegistryText machine;
        machine.key("System\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs")
            .value("kernel32", "kernel32.dll")
            .value("DllDirectory", "%SystemRoot%\\system32")
            .key("System\\CurrentControlSet\\Control\\Session Manager\\Environment")
            .value("PATH", "C:\\herramientas;C:\\otras\\");
        machine.writeTo(prefix);
        for (const char* file : {"app/comun.dll", "lib/comun.dll", "windows/system32/comun.dll", "windows/system/viejo.dll",
                                 "windows/viejo.dll", "windows/ventana.dll", "herramientas/util.dll", "otras/util.dll",
                                 "otras/otra.dll", "lib/kernel32.dll", "windows/system32/kernel32.dll"})
            prefix.writeFile(file, "MZ");
    }

    TempPrefix prefix;
};

}

TEST_F(DllSearchTest, EachNameIsFoundWhereTheLoaderLooksFirst)
{
    const DllSearch search;
    // The first folder (the library's own, or the program's) beats the system folders.
    EXPECT_EQ(search.find("comun.dll", "C:\\lib", "C:\\app").windowsPath, "C:\\lib\\comun.dll");
    EXPECT_EQ(search.find("COMUN.DLL", "C:\\app", "C:\\app").windowsPath, "C:\\app\\COMUN.DLL");
    // Without it: the system folder, then the 16-bit one, then the Windows folder.
    EXPECT_EQ(search.find("comun.dll", "C:\\nada", "C:\\nada").windowsPath, "C:\\windows\\system32\\comun.dll");
    EXPECT_EQ(search.find("viejo.dll", "C:\\nada", "C:\\nada").windowsPath, "C:\\windows\\system\\viejo.dll");
    EXPECT_EQ(search.find("ventana.dll", "C:\\nada", "C:\\nada").windowsPath, "C:\\windows\\ventana.dll");
    // The current folder, then PATH's folders in order.
    EXPECT_EQ(search.find("comun.dll", QString(), "C:\\app").windowsPath, "C:\\windows\\system32\\comun.dll");
    EXPECT_EQ(search.find("otra.dll", "C:\\nada", "C:\\otras").windowsPath, "C:\\otras\\otra.dll");
    EXPECT_EQ(search.find("util.dll", "C:\\nada", "C:\\nada").windowsPath, "C:\\herramientas\\util.dll");
    EXPECT_EQ(search.find("otra.dll", "C:\\nada", "C:\\nada").windowsPath, "C:\\otras\\otra.dll");
    EXPECT_EQ(search.find("ninguna.dll", "C:\\lib", "C:\\app").windowsPath, "");
    // A name with its folder is that file.
    EXPECT_EQ(search.find("C:\\otras\\util.dll", "C:\\lib", "C:\\app").windowsPath, "C:\\otras\\util.dll");
    EXPECT_EQ(search.find("..\\lib\\comun.dll", "C:\\lib", "C:\\app").windowsPath.isEmpty(), false);
}

TEST_F(DllSearchTest, KnownDllsAndApiSetsAreTheSystemsWhateverTheFolders)
{
    const DllSearch search;
    const DllLocation known = search.find("KERNEL32.dll", "C:\\lib", "C:\\app");
    EXPECT_EQ(known.windowsPath, "C:\\windows\\system32\\KERNEL32.dll") << "never the library's own copy";
    EXPECT_TRUE(known.system);
    EXPECT_FALSE(search.find("comun.dll", "C:\\lib", "C:\\app").system);
    for (const char* name : {"api-ms-win-core-synch-l1-2-0.dll", "API-MS-WIN-CRT-RUNTIME-L1-1-0.DLL", "ext-ms-win-ntuser-window-l1-1-0.dll"}) {
        const DllLocation set = search.find(name, "C:\\lib", "C:\\app");
        EXPECT_TRUE(set.system && set.apiSet) << name;
        EXPECT_EQ(set.windowsPath, "") << name;
    }
    EXPECT_FALSE(IsApiSetName("api-ms.dll"));
}

// A 32-bit copy beside a 64-bit library does not end the search for a 64-bit program (nor a
// 64-bit copy for a 32-bit one): the loader passes an image for another machine over and takes
// the next folder's. Only when no folder has one the program can load is the first copy the
// answer, the file its load fails on. A file that is no image at all ends the search there.
TEST_F(DllSearchTest, ImagesForAnotherMachineArePassedOver)
{
    const QString fixtures = QStringLiteral(ZANTREL_SOURCE_DIR "/tests/fixtures/imports/");
    const QByteArray image32 = readAll(fixtures + "comun32.dll");
    const QByteArray image64 = readAll(fixtures + "comun64.dll");
    prefix.writeFile("lib/mezcla.dll", image32);
    prefix.writeFile("windows/mezcla.dll", image64);
    prefix.writeFile("otras/mezcla.dll", image32);
    prefix.writeFile("lib/ajena.dll", image64);
    prefix.writeFile("herramientas/ajena.dll", image64);
    prefix.writeFile("lib/texto.dll", "not a program");
    prefix.writeFile("windows/texto.dll", image64);

    const DllSearch amd64(LoaderArch::Amd64);
    EXPECT_EQ(amd64.find("mezcla.dll", "C:\\lib", "C:\\app").windowsPath, "C:\\windows\\mezcla.dll");
    EXPECT_EQ(amd64.find("texto.dll", "C:\\lib", "C:\\app").windowsPath, "C:\\lib\\texto.dll");
    const DllSearch x86(LoaderArch::X86);
    EXPECT_EQ(x86.find("mezcla.dll", "C:\\lib", "C:\\app").windowsPath, "C:\\lib\\mezcla.dll");
    EXPECT_EQ(x86.find("mezcla.dll", "C:\\nada", "C:\\app").windowsPath, "C:\\otras\\mezcla.dll")
        << "C:\\windows has the 64-bit copy, PATH the next 32-bit one";
    EXPECT_EQ(x86.find("ajena.dll", "C:\\lib", "C:\\app").windowsPath, "C:\\lib\\ajena.dll")
        << "only 64-bit copies: the first";
}
