#include "platform/files/PathMapper.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"
#include "platform/registry/WinRegistry.h"
#include "support_files/FileBytes.h"
#include "support_files/TempPrefix.h"
#include "support_files/WineRegistryText.h"

#include <QDir>
#include <QFile>
#include <cstring>
#include <gtest/gtest.h>

using namespace WinApi;

namespace {

const QString kStdole = QStringLiteral("{00020430-0000-0000-C000-000000000046}");

// A prefix whose user has his own .txt class and a class the machine does not know.
struct LayeredPrefix {
    TempPrefix prefix;
    LayeredPrefix()
    {
        WineRegistryText machine;
        machine.key(QStringLiteral("Software\\Classes\\.txt")).value(QString(), QStringLiteral("txtfile")).value(QStringLiteral("Content Type"), QStringLiteral("text/plain"));
        machine.key(QStringLiteral("Software\\Classes\\txtfile\\shell\\open\\command")).value(QString(), QStringLiteral("notepad \"%1\""));
        machine.typeLib(kStdole, QStringLiteral("2.0"), QStringLiteral("0"), QStringLiteral("C:\\windows\\system32\\stdole2.tlb"), QStringLiteral("OLE Automation"));
        machine.writeTo(prefix);
        WineRegistryText user(WineRegistryText::Hive::User);
        user.key(QStringLiteral("Software\\Classes\\.txt")).value(QString(), QStringLiteral("userfile")).value(QStringLiteral("Mine"), QStringLiteral("1"));
        user.key(QStringLiteral("Software\\Classes\\.abc")).value(QString(), QStringLiteral("abcfile"));
        user.writeTo(prefix);
    }
    QString systemReg() const { return prefix.root() + QStringLiteral("/system.reg"); }
    QString userReg() const { return prefix.root() + QStringLiteral("/user.reg"); }
};

QString queryText(HKEY root, const char* path, const char* name)
{
    HKEY key = 0;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return QStringLiteral("<no key>");
    char buffer[256] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    const LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<unsigned char*>(buffer), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? QString::fromLatin1(buffer) : QStringLiteral("<no value>");
}

}

TEST(RegistryStore, ClassesRootReadsTheUsersClassesFirstAndMergesListings)
{
    LayeredPrefix p;
    RegistryStore store(p.prefix.root());
    EXPECT_EQ(store.text(RegistryRoot::ClassesRoot, u".txt"), QStringLiteral("userfile"));
    EXPECT_EQ(store.text(RegistryRoot::ClassesRoot, u".txt", u"Content Type"), QStringLiteral("text/plain"))
        << "a value the user's copy lacks comes from the machine's";
    EXPECT_EQ(store.text(RegistryRoot::LocalMachine, u"Software\\Classes\\.txt"), QStringLiteral("txtfile"));

    const QStringList classes = store.subkeyNames(RegistryRoot::ClassesRoot, u"");
    EXPECT_EQ(classes, (QStringList{QStringLiteral(".abc"), QStringLiteral(".txt"), QStringLiteral("txtfile"), QStringLiteral("Typelib")}));
    std::vector<RegistryValue> values = store.values(RegistryRoot::ClassesRoot, u".TXT");
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].name, QString());
    EXPECT_EQ(RegistryText::textOf(values[0].data), QStringLiteral("userfile"));
    EXPECT_EQ(values[1].name, QStringLiteral("Content Type"));
    EXPECT_EQ(values[2].name, QStringLiteral("Mine"));
}

TEST(RegistryStore, TypeLibraryRegistrationsAreFoundAsReferenceResolutionAsksForThem)
{
    LayeredPrefix p;
    RegistryStore store(p.prefix.root());
    EXPECT_EQ(store.text(RegistryRoot::ClassesRoot, QStringLiteral("TypeLib\\") + kStdole + QStringLiteral("\\2.0\\0\\win32")),
              QStringLiteral("C:\\windows\\system32\\stdole2.tlb"))
        << "the file says Typelib";
    EXPECT_EQ(store.subkeyNames(RegistryRoot::ClassesRoot, QStringLiteral("typelib\\") + kStdole), QStringList{QStringLiteral("2.0")});
    EXPECT_EQ(store.subkeyNames(RegistryRoot::ClassesRoot, QStringLiteral("TypeLib\\") + kStdole + QStringLiteral("\\2.0")),
              (QStringList{QStringLiteral("0"), QStringLiteral("FLAGS"), QStringLiteral("HELPDIR")}));
    EXPECT_EQ(store.text(RegistryRoot::ClassesRoot, QStringLiteral("TypeLib\\") + kStdole + QStringLiteral("\\2.0")), QStringLiteral("OLE Automation"));
    EXPECT_TRUE(store.subkeyNames(RegistryRoot::ClassesRoot, u"TypeLib\\{00000000-0000-0000-0000-000000000000}").isEmpty());
}

TEST(RegistryStore, WritesThroughClassesRootGoWhereTheKeyLives)
{
    LayeredPrefix p;
    RegistryStore store(p.prefix.root());
    const QByteArray systemBefore = readAll(p.systemReg());

    ASSERT_EQ(store.setValue(RegistryRoot::ClassesRoot, u".abc", RegistryValue{QStringLiteral("Extra"), 1, RegistryText::utf16Data(u"x")}), 0);
    EXPECT_TRUE(readAll(p.userReg()).contains("\"Extra\"=\"x\"")) << "the key exists only in the user's classes";
    EXPECT_EQ(readAll(p.systemReg()), systemBefore);

    bool created = false;
    ASSERT_EQ(store.createKey(RegistryRoot::ClassesRoot, u"xfile\\shell", &created), 0);
    EXPECT_TRUE(created);
    EXPECT_TRUE(readAll(p.systemReg()).contains("[Software\\\\Classes\\\\xfile\\\\shell]")) << "a new class goes to the machine";
    EXPECT_TRUE(store.keyExists(RegistryRoot::LocalMachine, u"software\\classes\\XFILE"));
    ASSERT_EQ(store.createKey(RegistryRoot::ClassesRoot, u"XFILE\\Shell", &created), 0);
    EXPECT_FALSE(created);
}

TEST(RegistryStore, APrefixWithoutRegistryFilesIsAnEmptyRegistryThatAWriteCreates)
{
    TempPrefix prefix;
    prefix.makeFolder(QStringLiteral("windows/syswow64"));
    RegistryStore store(prefix.root());
    EXPECT_FALSE(store.keyExists(RegistryRoot::LocalMachine, u"Software"));
    EXPECT_TRUE(store.keyExists(RegistryRoot::ClassesRoot, u"")) << "the classes root itself always opens";
    EXPECT_TRUE(store.subkeyNames(RegistryRoot::ClassesRoot, u"").isEmpty());
    EXPECT_FALSE(QFile::exists(prefix.root() + QStringLiteral("/system.reg"))) << "reading writes nothing";

    ASSERT_EQ(store.createKey(RegistryRoot::CurrentUser, u"Software\\Zantrel"), 0);
    const QByteArray text = readAll(prefix.root() + QStringLiteral("/user.reg"));
    EXPECT_TRUE(text.startsWith("WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n\n"
                                "[Software\\\\Zantrel] "))
        << text.constData();
}

TEST(RegistryStore, TheSharedStoreFollowsTheCurrentPrefixAndTheFilesOnDisk)
{
    TempPrefix first;
    WineRegistryText(WineRegistryText::Hive::Machine).key(QStringLiteral("Software\\First")).value(QString(), QStringLiteral("1")).writeTo(first);
    EXPECT_TRUE(RegistryStore::current()->keyExists(RegistryRoot::LocalMachine, u"Software\\First"));
    {
        TempPrefix second;
        EXPECT_FALSE(RegistryStore::current()->keyExists(RegistryRoot::LocalMachine, u"Software\\First"));
        WineRegistryText(WineRegistryText::Hive::Machine).key(QStringLiteral("Software\\Second")).writeTo(second);
        EXPECT_TRUE(RegistryStore::current()->keyExists(RegistryRoot::LocalMachine, u"Software\\Second"))
            << "a file written after the first read is read";
    }
    EXPECT_TRUE(RegistryStore::current()->keyExists(RegistryRoot::LocalMachine, u"Software\\First"));
}

TEST(RegistryStore, UsersHoldsTheCurrentUserUnderItsSid)
{
    LayeredPrefix p;
    RegistryStore store(p.prefix.root());
    EXPECT_EQ(store.subkeyNames(RegistryRoot::Users, u""), QStringList{QStringLiteral("S-1-5-21-0-0-0-1000")});
    EXPECT_EQ(store.text(RegistryRoot::Users, u"S-1-5-21-0-0-0-1000\\Software\\Classes\\.abc"), QStringLiteral("abcfile"));
    EXPECT_EQ(store.createKey(RegistryRoot::Users, u""), ERROR_ACCESS_DENIED);
}

TEST(WinRegistry, ValuesAreQueriedAsTheAnsiFunctionsReturnThem)
{
    LayeredPrefix p;
    HKEY key = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "TYPELIB\\{00020430-0000-0000-C000-000000000046}\\2.0\\0\\WIN32", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = 0;
    unsigned char probe[4];
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, &type, probe, &size), ERROR_MORE_DATA);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 32u) << "the text in 8-bit characters with its terminator";
    char buffer[32];
    EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<unsigned char*>(buffer), &size), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "C:\\windows\\system32\\stdole2.tlb");
    size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS) << "a size query without a buffer succeeds";
    EXPECT_EQ(size, 32u);
    EXPECT_EQ(RegQueryValueExA(key, "missing", nullptr, &type, probe, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(OpenRegistryKeyCount(), 0);
}

TEST(WinRegistry, TextCrossesInTheAnsiCodePageAndIsStoredAsUtf16)
{
    LayeredPrefix p;
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Ni\xf1o", 0, "", 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    const char text[] = "Descripci\xf3n \x80";
    ASSERT_EQ(RegSetValueExA(key, "Tama\xf1o", 0, REG_SZ, reinterpret_cast<const unsigned char*>(text), sizeof text), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(readAll(p.userReg()).contains("[Software\\\\Ni\\xf1o] "));
    EXPECT_TRUE(readAll(p.userReg()).contains("\"Tama\\xf1o\"=\"Descripci\\xf3n \\x20ac\"\n")) << "windows-1252 0x80 is the euro sign";
    EXPECT_EQ(queryText(HKEY_CURRENT_USER, "software\\NI\xd1O", "TAMA\xd1O"), QString::fromLatin1("Descripci\xf3n \x80"));
}

TEST(WinRegistry, EnumerationWalksNamesByIndexUntilNoMoreItems)
{
    LayeredPrefix p;
    HKEY key = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_READ, &key), ERROR_SUCCESS);
    QStringList names;
    char name[255];
    DWORD index = 0;
    for (; RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS; ++index)
        names.append(QString::fromLatin1(name));
    EXPECT_EQ(RegEnumKeyA(key, index, name, sizeof name), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(names, (QStringList{QStringLiteral(".abc"), QStringLiteral(".txt"), QStringLiteral("txtfile"), QStringLiteral("Typelib")}));
    EXPECT_EQ(RegEnumKeyA(key, 0, name, 4), ERROR_MORE_DATA) << "\".abc\" and its terminator need 5";
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, ".txt", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    DWORD values = 0, longestName = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &longestName, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(values, 3u);
    EXPECT_EQ(longestName, 12u);
    char valueName[13];
    DWORD length = sizeof valueName;
    ASSERT_EQ(RegEnumValueA(key, 1, valueName, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(valueName, "Content Type");
    EXPECT_EQ(length, 12u);
    length = 12;
    EXPECT_EQ(RegEnumValueA(key, 1, valueName, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    length = sizeof valueName;
    EXPECT_EQ(RegEnumValueA(key, 3, valueName, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST(WinRegistry, FailuresReturnWindowsErrorCodes)
{
    LayeredPrefix p;
    HKEY key = 0;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Nope", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\Software", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegOpenKeyExA(0x1234, "Software", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(0x80000009u, "Software", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, ".txt", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    char name[64];
    EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_ACCESS_DENIED) << "listing subkeys needs KEY_ENUMERATE_SUB_KEYS";
    EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_BINARY, reinterpret_cast<const unsigned char*>("1"), 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(key, "Content Type"), ERROR_ACCESS_DENIED);
    RegCloseKey(key);

    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "txtfile\\shell"), ERROR_ACCESS_DENIED) << "a key with subkeys stays";
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED) << "a root cannot be deleted";
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "nothing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(HKEY_CLASSES_ROOT, "nothing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "txtfile\\shell\\open\\command"), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "txtfile\\shell\\open\\command", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenRegistryKeyCount(), 0);
}

TEST(WinRegistry, AWriteThatCannotReachTheFileFailsAndChangesNothing)
{
    TempPrefix prefix;
    QFile notRegistry(prefix.root() + QStringLiteral("/system.reg"));
    notRegistry.open(QIODevice::WriteOnly);
    notRegistry.write("REGEDIT4\n");
    notRegistry.close();
    HKEY key = 0;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\X", 0, "", 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_REGISTRY_IO_FAILED);
    EXPECT_EQ(readAll(prefix.root() + QStringLiteral("/system.reg")), QByteArray("REGEDIT4\n"));

    // No prefix folder at all: everything reads as empty and nothing can be written.
    PathMapper::setCurrent(prefix.root() + QStringLiteral("/missing"));
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\X", 0, "", 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_REGISTRY_IO_FAILED);
    EXPECT_FALSE(QDir(prefix.root() + QStringLiteral("/missing")).exists());
}

TEST(RegistryStore, HivesGivenAsTextMergeAsTheFilesDoUntilAFileChanges)
{
    WineRegistryText machine;
    machine.key(QStringLiteral("Software\\Classes\\.txt")).value(QString(), QStringLiteral("txtfile")).value(QStringLiteral("Content Type"), QStringLiteral("text/plain"));
    WineRegistryText user(WineRegistryText::Hive::User);
    user.key(QStringLiteral("Software\\Classes\\.txt")).value(QString(), QStringLiteral("userfile"));
    TempPrefix prefix;
    RegistryStore store(prefix.root());
    const std::uint64_t before = store.generation();
    store.loadText(machine.text(), user.text());
    EXPECT_NE(store.generation(), before);
    EXPECT_EQ(store.text(RegistryRoot::ClassesRoot, u".txt"), QStringLiteral("userfile"));
    EXPECT_EQ(store.text(RegistryRoot::ClassesRoot, u".txt", u"Content Type"), QStringLiteral("text/plain"));

    // A registry file written in the prefix replaces the text given for its hive.
    WineRegistryText other;
    other.key(QStringLiteral("Software\\Classes\\.txt")).value(QStringLiteral("Content Type"), QStringLiteral("text/other"));
    other.writeTo(prefix);
    EXPECT_EQ(store.text(RegistryRoot::ClassesRoot, u".txt", u"Content Type"), QStringLiteral("text/other"));
    EXPECT_EQ(store.text(RegistryRoot::ClassesRoot, u".txt"), QStringLiteral("userfile"));
}

// A Wine that keeps System\CurrentControlSet as a link to ControlSet001 (a "#link" key whose
// SymbolicLinkValue names the set): reads through it land in the set, as in Wine; a plain key
// of that name is read as it stands.
TEST(RegistryStore, TheCurrentControlSetLinkLeadsToItsSet)
{
    TempPrefix prefix;
    QByteArray target;
    for (QChar c : QStringLiteral("\\Registry\\Machine\\System\\ControlSet001"))
        target += char(c.unicode()), target += char(0);
    WineRegistryText()
        .key("System\\ControlSet001\\Control\\Nls\\CodePage").value("ACP", "936")
        .key("System\\ControlSet001\\Hardware Profiles\\Current\\Software").value("Perfil", "actual")
        .key("System\\CurrentControlSet").line("#link").binary("SymbolicLinkValue", target, RegistryText::REG_LINK)
        .writeTo(prefix);
    RegistryStore store(prefix.root());
    EXPECT_EQ(store.text(RegistryRoot::LocalMachine, u"System\\CurrentControlSet\\Control\\Nls\\CodePage", u"ACP"), "936");
    EXPECT_EQ(store.text(RegistryRoot::LocalMachine, u"SYSTEM\\currentcontrolset\\Control\\Nls\\CodePage", u"ACP"), "936");
    EXPECT_EQ(store.text(RegistryRoot::CurrentConfig, u"Software", u"Perfil"), "actual");

    TempPrefix plain;
    WineRegistryText().key("System\\CurrentControlSet\\Control\\Nls\\CodePage").value("ACP", "1251").writeTo(plain);
    EXPECT_EQ(RegistryStore(plain.root()).text(RegistryRoot::LocalMachine, u"System\\CurrentControlSet\\Control\\Nls\\CodePage", u"ACP"),
              "1251");
}
