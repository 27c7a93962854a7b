#include "support/cRegistry.h"

#include "platform/core/ProgramError.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"
#include "platform/registry/WinRegistry.h"
#include "support_files/FileBytes.h"
#include "support_files/TempPrefix.h"
#include "support_files/WineRegistryText.h"

#include <QFile>
#include <functional>
#include <gtest/gtest.h>

namespace {

const QString kTests = QStringLiteral("Software\\Zantrel\\Tests");
const QString kStdoleWin32 = QStringLiteral("TypeLib\\{00020430-0000-0000-C000-000000000046}\\2.0\\0\\win32");

struct RegistryPrefix {
    TempPrefix prefix;
    RegistryPrefix()
    {
        WineRegistryText machine;
        machine.typeLib(QStringLiteral("{00020430-0000-0000-C000-000000000046}"), QStringLiteral("2.0"), QStringLiteral("0"),
                        QStringLiteral("C:\\windows\\system32\\stdole2.tlb"), QStringLiteral("OLE Automation"));
        machine.key(kTests)
            .value(QStringLiteral("Text"), QStringLiteral("abc"))
            .expandValue(QStringLiteral("Expand"), QStringLiteral("%SystemRoot%\\x"))
            .dword(QStringLiteral("Number"), 0xFFFFFFFEu)
            .binary(QStringLiteral("BigEndian"), QByteArray("\x00\x00\x01\x02", 4), 5)
            .binary(QStringLiteral("Bytes"), QByteArray("\x01\x02\x03\x04\x05", 5))
            .binary(QStringLiteral("Multi"), RegistryText::utf16Data(QStringLiteral("one") + QChar(0) + QStringLiteral("two") + QChar(0)), 7)
            .binary(QStringLiteral("Unterminated"), QByteArray("a\0b\0", 4), 1)
            .binary(QStringLiteral("Empty"), QByteArray(), 1);
        machine.key(kTests + QStringLiteral("\\Child A"));
        machine.key(kTests + QStringLiteral("\\child b"));
        machine.writeTo(prefix);
    }
    QByteArray systemReg() const { return readAll(prefix.root() + QStringLiteral("/system.reg")); }
};

cRegistry registryAt(std::int32_t root, const QString& section, const QString& value = QString())
{
    cRegistry registry;
    registry.setClassKey(root);
    registry.setSectionKey(section);
    registry.setValueKey(value);
    return registry;
}

// Runs `call`, which must raise, and returns what it raised.
ProgramError raised(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ProgramError& error) {
        return error;
    }
    ADD_FAILURE() << "nothing was raised";
    return ProgramError(0, QString());
}

}

TEST(cRegistry, ReadsAReferencesRegisteredFileAsReferenceResolutionDoes)
{
    RegistryPrefix p;
    cRegistry registry;
    registry.setClassKey(cRegistry::HKEY_CLASSES_ROOT);
    registry.setValueType(cRegistry::REG_SZ);
    registry.setSectionKey(kStdoleWin32);
    EXPECT_EQ(registry.Value(), QVariant(QStringLiteral("C:\\windows\\system32\\stdole2.tlb")));

    registry.setSectionKey(QStringLiteral("TypeLib\\{00020430-0000-0000-C000-000000000046}\\9.9\\0\\win32"));
    const QVariant missing = registry.Value();
    EXPECT_FALSE(missing.isValid()) << "a missing key gives Default, which starts empty";
    EXPECT_EQ(missing.toString(), QString());
    EXPECT_EQ(WinApi::OpenRegistryKeyCount(), 0);
}

TEST(cRegistry, ValuesReadByTheirType)
{
    RegistryPrefix p;
    cRegistry registry = registryAt(cRegistry::HKEY_LOCAL_MACHINE, kTests);
    auto read = [&](const char* name) {
        registry.setValueKey(QString::fromLatin1(name));
        return registry.Value();
    };

    EXPECT_EQ(read("Text"), QVariant(QStringLiteral("abc")));
    EXPECT_EQ(registry.ValueType(), cRegistry::REG_SZ);
    EXPECT_EQ(read("Expand"), QVariant(QStringLiteral("C:\\windows\\x")));
    EXPECT_EQ(registry.ValueType(), cRegistry::REG_EXPAND_SZ);
    EXPECT_EQ(read("Number"), QVariant(std::int32_t(-2)));
    EXPECT_EQ(read("BigEndian"), QVariant(std::int32_t(258)));
    EXPECT_EQ(registry.ValueType(), cRegistry::REG_DWORD_BIG_ENDIAN);
    EXPECT_EQ(read("Bytes"), QVariant(QByteArray("\x01\x02\x03\x04\x05", 5)));
    EXPECT_EQ(registry.ValueType(), cRegistry::REG_BINARY);
    EXPECT_EQ(read("Multi"), QVariant(QStringLiteral("one") + QChar(0) + QStringLiteral("two") + QChar(0)))
        << "a multi-string keeps its inner separators";
    EXPECT_EQ(read("Unterminated"), QVariant(QStringLiteral("ab"))) << "text stored without a terminator loses nothing";
    EXPECT_EQ(read("Empty"), QVariant(QString()));

    registry.setValueType(cRegistry::REG_BINARY);
    registry.setDefault(QStringLiteral("fallback"));
    EXPECT_EQ(read("Missing"), QVariant(QStringLiteral("fallback")));
    EXPECT_EQ(registry.ValueType(), cRegistry::REG_BINARY) << "a failed read leaves ValueType";
    EXPECT_TRUE(registry.KeyExists());
    registry.setSectionKey(kTests + QStringLiteral("\\Nope"));
    EXPECT_FALSE(registry.KeyExists());
    EXPECT_EQ(WinApi::OpenRegistryKeyCount(), 0);
}

TEST(cRegistry, WrittenTextIsExpandableOnlyWhenItNamesAVariable)
{
    RegistryPrefix p;
    cRegistry registry = registryAt(cRegistry::HKEY_CURRENT_USER, QStringLiteral("Software\\Zantrel"));
    registry.setValueType(cRegistry::REG_SZ);
    const std::pair<const char*, std::uint32_t> cases[] = {{"%1", 1}, {"%TEMP%", 2}, {"50%", 1}, {"a %% b", 1}, {"%%x%", 2}, {"plain", 1}};
    RegistryStore store(p.prefix.root());
    for (const auto& [text, type] : cases) {
        registry.setValueKey(QString::fromLatin1(text));
        registry.setValue(QString::fromLatin1(text));
        const std::optional<RegistryValue> stored = store.value(RegistryRoot::CurrentUser, u"Software\\Zantrel", QString::fromLatin1(text));
        ASSERT_TRUE(stored) << text;
        EXPECT_EQ(stored->type, type) << text;
        EXPECT_EQ(stored->data, RegistryText::utf16Data(QString::fromLatin1(text))) << "written with its terminator";
    }
}

TEST(cRegistry, NumbersAndBytesAreWrittenOnlyFromTheirOwnKinds)
{
    RegistryPrefix p;
    RegistryStore store(p.prefix.root());
    cRegistry registry = registryAt(cRegistry::HKEY_LOCAL_MACHINE, kTests);

    registry.setValueType(cRegistry::REG_DWORD_BIG_ENDIAN);
    registry.setValueKey(QStringLiteral("Written"));
    registry.setValue(QVariant(std::int32_t(258)));
    std::optional<RegistryValue> stored = store.value(RegistryRoot::LocalMachine, kTests, u"Written");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, 4u) << "a number is always stored as REG_DWORD";
    EXPECT_EQ(stored->data, QByteArray("\x02\x01\x00\x00", 4));
    registry.setValue(QVariant::fromValue<short>(-1));
    EXPECT_EQ(store.value(RegistryRoot::LocalMachine, kTests, u"Written")->data, QByteArray("\xff\xff\xff\xff", 4));

    registry.setValueType(cRegistry::REG_DWORD);
    registry.setValueKey(QStringLiteral("NotANumber"));
    registry.setValue(QStringLiteral("12"));
    EXPECT_FALSE(store.value(RegistryRoot::LocalMachine, kTests, u"NotANumber")) << "text for a number writes nothing and raises nothing";

    registry.setValueType(cRegistry::REG_BINARY);
    registry.setValueKey(QStringLiteral("Blob"));
    registry.setValue(QByteArray("\x00\x01", 2));
    EXPECT_EQ(store.value(RegistryRoot::LocalMachine, kTests, u"Blob")->data, QByteArray("\x00\x01", 2));
    const ProgramError notBytes = raised([&] { registry.setValue(QStringLiteral("text")); });
    EXPECT_EQ(notBytes.Number, 26001);
    EXPECT_EQ(notBytes.Description, QStringLiteral("Application-defined or object-defined error"));
    EXPECT_EQ(notBytes.Source, QStringLiteral("zantrel.cRegistry"));
    EXPECT_EQ(WinApi::OpenRegistryKeyCount(), 0) << "a raising write closes its key";
}

TEST(cRegistry, FailedWritesRaiseTheSetFailure)
{
    RegistryPrefix p;
    cRegistry registry = registryAt(cRegistry::HKEY_LOCAL_MACHINE, QStringLiteral("Software\\New"), QStringLiteral("Name"));
    registry.setValueType(9);
    const ProgramError badType = raised([&] { registry.setValue(QStringLiteral("v")); });
    EXPECT_EQ(badType.Number, -2147194455);
    EXPECT_EQ(badType.Description,
              QStringLiteral("Failed to set registry value Key: '-2147483646',Section: 'Software\\New',Key: 'Name' to value: 'v'"));

    registry.setClassKey(0);
    registry.setValueType(cRegistry::REG_SZ);
    const ProgramError noKey = raised([&] { registry.setValue(QStringLiteral("v")); });
    EXPECT_EQ(noKey.Number, 26001);
    EXPECT_EQ(noKey.Description, QStringLiteral("Failed to set registry value Key: '0',Section: 'Software\\New',Key: 'Name' to value: 'v'"));
    EXPECT_EQ(WinApi::OpenRegistryKeyCount(), 0);
}

TEST(cRegistry, KeysAndValuesAreCreatedAndDeletedOrTheFailureIsRaised)
{
    RegistryPrefix p;
    cRegistry registry = registryAt(cRegistry::HKEY_LOCAL_MACHINE, kTests + QStringLiteral("\\New\\Deep"));
    EXPECT_TRUE(registry.CreateKey());
    EXPECT_TRUE(registry.KeyExists());
    EXPECT_TRUE(registry.DeleteKey());
    EXPECT_FALSE(registry.KeyExists());

    ProgramError error = raised([&] { registry.DeleteKey(); });
    EXPECT_EQ(error.Number, 26001);
    EXPECT_EQ(error.Description, QStringLiteral("Failed to delete registry Key: '-2147483646',Section: 'Software\\Zantrel\\Tests\\New\\Deep"));
    registry.setSectionKey(kTests);
    error = raised([&] { registry.DeleteKey(); });
    EXPECT_EQ(error.Number, 26001) << "a key with subkeys is not deleted";

    registry.setValueKey(QStringLiteral("Text"));
    EXPECT_TRUE(registry.DeleteValue());
    error = raised([&] { registry.DeleteValue(); });
    EXPECT_EQ(error.Description, QStringLiteral("Failed to delete registry Key: '-2147483646',Section: 'Software\\Zantrel\\Tests',Key: 'Text"));
    registry.setSectionKey(QStringLiteral("Software\\Nope"));
    error = raised([&] { registry.DeleteValue(); });
    EXPECT_EQ(error.Description, QStringLiteral("Failed to open key '-2147483646',Section: 'Software\\Nope' for delete access"));

    registry.setClassKey(0x1234);
    error = raised([&] { registry.CreateKey(); });
    EXPECT_EQ(error.Number, 26001);
    EXPECT_EQ(error.Description, QStringLiteral("Failed to create registry Key: 'Software\\Nope"));
    EXPECT_EQ(error.Source, QStringLiteral("zantrel.cRegistry"));
    EXPECT_EQ(WinApi::OpenRegistryKeyCount(), 0);
}

TEST(cRegistry, ListsRunFromOneAndAMissingKeyListsNothing)
{
    RegistryPrefix p;
    cRegistry registry = registryAt(cRegistry::HKEY_LOCAL_MACHINE, QStringLiteral("software\\zantrel\\TESTS"));
    QStringList names;
    std::int32_t count = -1;
    EXPECT_TRUE(registry.EnumerateValues(names, count));
    EXPECT_EQ(count, 8);
    ASSERT_EQ(names.size(), 9);
    EXPECT_TRUE(names[0].isEmpty());
    EXPECT_EQ(names.mid(1), (QStringList{"BigEndian", "Bytes", "Empty", "Expand", "Multi", "Number", "Text", "Unterminated"}));

    EXPECT_TRUE(registry.EnumerateSections(names, count));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(names, (QStringList{QString(), "Child A", "child b"}));

    registry.setClassKey(cRegistry::HKEY_CLASSES_ROOT);
    registry.setSectionKey(QStringLiteral("TypeLib\\{00020430-0000-0000-C000-000000000046}\\2.0"));
    EXPECT_TRUE(registry.EnumerateSections(names, count));
    EXPECT_EQ(names, (QStringList{QString(), "0", "FLAGS", "HELPDIR"}));

    // A name as long as a key's name can be does not cut the listing short.
    registry.setClassKey(cRegistry::HKEY_CURRENT_USER);
    const QString longName(255, u'k');
    for (const QString& name : {QStringLiteral("a"), longName, QStringLiteral("z")}) {
        registry.setSectionKey(QStringLiteral("Software\\Long\\") + name);
        registry.CreateKey();
    }
    registry.setSectionKey(QStringLiteral("Software\\Long"));
    EXPECT_TRUE(registry.EnumerateSections(names, count));
    EXPECT_EQ(names, (QStringList{QString(), "a", longName, "z"}));

    registry.setSectionKey(QStringLiteral("Nope"));
    EXPECT_TRUE(registry.EnumerateValues(names, count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(names.isEmpty());
    EXPECT_TRUE(registry.EnumerateSections(names, count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(names.isEmpty());
    EXPECT_EQ(WinApi::OpenRegistryKeyCount(), 0);
}

TEST(cRegistry, AnExecutableAssociationIsWrittenUnderBothRoots)
{
    RegistryPrefix p;
    cRegistry registry;
    registry.CreateEXEAssociation(QStringLiteral("  c:\\app\\x.exe "), QStringLiteral("xfile"), QStringLiteral("X document"),
                                  QStringLiteral("xyz"), QString(), false, QString(), false, QString(), false, QString(), 0);
    RegistryStore store(p.prefix.root());
    const std::pair<const char*, const char*> expected[] = {
        {".xyz", "xfile"},
        {"xfile", "X document"},
        {"xfile\\shell\\open", "&Open"},
        {"xfile\\shell\\open\\command", "\"c:\\app\\x.exe\" \"%1\""},
        {"xfile\\DefaultIcon", "\"c:\\app\\x.exe\",0"},
    };
    for (const auto& [key, text] : expected) {
        EXPECT_EQ(store.text(RegistryRoot::ClassesRoot, QString::fromLatin1(key)), QString::fromLatin1(text)) << key;
        EXPECT_EQ(store.text(RegistryRoot::LocalMachine, QStringLiteral("SOFTWARE\\Classes\\") + QString::fromLatin1(key)), QString::fromLatin1(text)) << key;
    }
    EXPECT_EQ(store.value(RegistryRoot::ClassesRoot, u"xfile\\shell\\open\\command", u"")->type, 1u) << "\"%1\" is not a variable";
    EXPECT_EQ(registry.ClassKey(), cRegistry::HKEY_LOCAL_MACHINE);
    EXPECT_EQ(registry.SectionKey(), QStringLiteral("xfile\\DefaultIcon"));
    EXPECT_EQ(registry.ValueType(), cRegistry::REG_SZ);
    EXPECT_TRUE(p.systemReg().contains("[Software\\\\Classes\\\\xfile\\\\shell\\\\open\\\\command]"));

    cRegistry other;
    other.CreateEXEAssociation(QStringLiteral("\"c:\\app\\y.exe\""), QStringLiteral("yfile"), QStringLiteral("Y"), QStringLiteral("y"),
                               QStringLiteral("&Abrir"), true, QString(), true, QString(), true, QString(), -1);
    EXPECT_EQ(store.text(RegistryRoot::ClassesRoot, u"yfile\\shell\\open"), QStringLiteral("&Abrir"));
    EXPECT_EQ(store.text(RegistryRoot::ClassesRoot, u"yfile\\shell\\open\\command"), QStringLiteral("\"c:\\app\\y.exe\" \"%1\""))
        << "a quoted path gets no second pair";
    EXPECT_EQ(store.text(RegistryRoot::ClassesRoot, u"yfile\\shell\\print\\command"), QStringLiteral("\"c:\\app\\y.exe\" /p \"%1\""));
    EXPECT_EQ(store.text(RegistryRoot::ClassesRoot, u"yfile\\shell\\add"), QStringLiteral("&Install y"));
    EXPECT_EQ(store.text(RegistryRoot::ClassesRoot, u"yfile\\shell\\new\\command"), QStringLiteral("\"c:\\app\\y.exe\" /n \"%1\""));
    EXPECT_FALSE(store.keyExists(RegistryRoot::ClassesRoot, u"yfile\\DefaultIcon"));
    EXPECT_EQ(WinApi::OpenRegistryKeyCount(), 0);
}

TEST(cRegistry, AdditionalAssociationsNeedTriplesAndADefinedClass)
{
    RegistryPrefix p;
    cRegistry registry;
    const QVariantList four{"edit", "&Edit", "e.exe", "extra"};
    ProgramError error = raised([&] { registry.CreateAdditionalEXEAssociations(QStringLiteral("xfile"), four); });
    EXPECT_EQ(error.Number, -2147194452);
    EXPECT_EQ(error.Description, QStringLiteral("Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command"));

    registry.setClassKey(cRegistry::HKEY_CLASSES_ROOT);
    const QVariantList verb{"edit", "&Edit", "\"c:\\app\\x.exe\" /e \"%1\""};
    error = raised([&] { registry.CreateAdditionalEXEAssociations(QStringLiteral("xfile"), verb); });
    EXPECT_EQ(error.Number, -2147194451);
    EXPECT_EQ(error.Description, QStringLiteral("Error - attempt to create additional associations before class defined."));

    registry.CreateEXEAssociation(QStringLiteral("c:\\app\\x.exe"), QStringLiteral("xfile"), QStringLiteral("X"), QStringLiteral("xyz"));
    registry.setClassKey(cRegistry::HKEY_CLASSES_ROOT);
    registry.CreateAdditionalEXEAssociations(QStringLiteral("xfile"), verb);
    RegistryStore store(p.prefix.root());
    EXPECT_EQ(store.text(RegistryRoot::ClassesRoot, u"xfile\\shell\\edit"), QStringLiteral("&Edit"));
    EXPECT_EQ(store.text(RegistryRoot::LocalMachine, u"Software\\Classes\\xfile\\shell\\edit\\command"), QStringLiteral("\"c:\\app\\x.exe\" /e \"%1\""));
    EXPECT_EQ(WinApi::OpenRegistryKeyCount(), 0);
}
