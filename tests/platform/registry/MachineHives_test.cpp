#include "platform/files/AtomicFile.h"
#include "platform/files/PathMapper.h"
#include "platform/registry/MachineHives.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/WindowsEnvironment.h"
#include "platform/registry/WindowsWorld.h"
#include "support_files/HiveImages.h"
#include "support_files/IndependentReaders.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cerrno>
#include <utime.h>

namespace {

// .reg text for MakeHive: each key below the hive's root (its parents first, as hivexregedit
// needs them), string values as text.
class RegText {
public:
    RegText& key(const QString& path)
    {
        const QStringList parts = path.split(u'\\');
        for (qsizetype n = 1; n <= parts.size(); ++n) {
            const QString key = parts.mid(0, n).join(u'\\');
            if (n < parts.size() && written_.contains(key.toLower()))
                continue;
            written_.insert(key.toLower());
            text_ += "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\" + key.toUtf8() + "]\n";
        }
        return *this;
    }
    RegText& value(const QString& name, const QString& data)
    {
        text_ += (name.isEmpty() ? QByteArray("@") : quoted(name)) + '=' + quoted(data) + '\n';
        return *this;
    }
    // A REG_EXPAND_SZ value, as UTF-16 with its terminator.
    RegText& expand(const QString& name, const QString& data)
    {
        QByteArray bytes;
        for (QChar c : data + QChar(0))
            bytes += char(c.unicode() & 0xFF), bytes += char(c.unicode() >> 8);
        text_ += quoted(name) + "=hex(2):" + bytes.toHex(',') + '\n';
        return *this;
    }
    RegText& dword(const QString& name, quint32 number)
    {
        text_ += quoted(name) + "=dword:" + QByteArray::number(number, 16).rightJustified(8, '0') + '\n';
        return *this;
    }
    QByteArray text() const { return "Windows Registry Editor Version 5.00\n" + text_; }

private:
    static QByteArray quoted(const QString& s) { return '"' + s.toUtf8().replace("\\", "\\\\").replace("\"", "\\\"") + '"'; }
    QByteArray text_;
    QSet<QString> written_;
};

// A 64-bit Windows machine's disk: two profiles, the second one used last; its own classes hive;
// control set 2 is the current one.
class WindowsMachine : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_JUDGE(HaveHivexregedit(), "hivexregedit (libwin-hivex-perl)");
        QDir().mkpath(path("Windows/SysWOW64"));
        QDir().mkpath(path("Windows/System32/config"));
        hive("Windows/System32/config/SOFTWARE",
             RegText()
                 .key("Classes\\TypeLib\\{11111111-0000-0000-0000-000000000001}\\1.0\\0\\win32").value("", "C:\\lib\\shared.tlb")
                 .key("Classes\\CLSID\\{22222222-0000-0000-0000-000000000002}\\InprocServer32").value("", "C:\\x64\\server.dll")
                 .key("Classes\\Wow6432Node\\CLSID\\{22222222-0000-0000-0000-000000000002}\\InprocServer32").value("", "C:\\x86\\server.dll")
                 .key("Classes\\Progid.Machine").value("", "machine's")
                 .key("Microsoft\\Windows NT\\CurrentVersion").value("SystemRoot", "C:\\WINDOWS")
                 .key("Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-18").value("ProfileImagePath", "%systemroot%\\system32\\config\\systemprofile")
                 .key("Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-1-2-3-1001").value("ProfileImagePath", "C:\\Users\\Ana")
                 .key("Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-1-2-3-1002").value("ProfileImagePath", "%SystemDrive%\\Users\\luis"));
        hive("Windows/System32/config/SYSTEM",
             RegText()
                 .key("Select").dword("Current", 2)
                 .key("ControlSet001\\Control\\Session Manager\\Environment").value("Path", "C:\\old")
                 .key("ControlSet002\\Control\\Session Manager\\Environment").expand("Path", "%SystemRoot%\\system32;C:\\Herramientas")
                 .key("ControlSet002\\Control\\Session Manager\\KnownDLLs").value("kernel32", "kernel32.dll")
                 .key("ControlSet002\\Hardware Profiles\\Current\\Software").value("Perfil", "actual"));
        QDir().mkpath(path("Users/Ana/AppData/Local/Microsoft/Windows"));
        QDir().mkpath(path("Users/luis"));
        hive("Users/Ana/NTUSER.DAT", RegText().key("Environment").value("TEMP", "C:\\Users\\Ana\\Temp"));
        hive("Users/Ana/AppData/Local/Microsoft/Windows/UsrClass.dat",
             RegText().key("Progid.Machine").value("", "Ana's").key("Progid.Ana").value("", "only Ana's"));
        hive("Users/luis/NTUSER.DAT", RegText().key("Environment").value("TEMP", "C:\\Users\\luis\\Temp"));
        age("Users/luis/NTUSER.DAT", 3600); // Ana used the machine last
        RegistryStore::resetCurrent();
    }

    void TearDown() override
    {
        PathMapper::setCurrent(PathMapper::defaultPrefix());
        RegistryStore::resetCurrent();
    }

    QString path(const QString& relative) const { return dir.filePath(relative); }
    void hive(const QString& relative, const RegText& text)
    {
        QString error;
        ASSERT_TRUE(MakeHive(path(relative), text.text(), &error)) << error.toStdString();
    }
    void age(const QString& relative, int seconds)
    {
        const utimbuf times{time(nullptr) - seconds, time(nullptr) - seconds};
        ASSERT_EQ(utime(QFile::encodeName(path(relative)).constData(), &times), 0);
    }
    std::shared_ptr<RegistryStore> open(const QString& user = QString())
    {
        WorldOptions options;
        options.windowsRoot = dir.path();
        options.user = user;
        UseWorld(options);
        RegistryStore::resetCurrent(); // the files changed: read them again
        return RegistryStore::current();
    }

    QTemporaryDir dir;
};

}

TEST_F(WindowsMachine, TheHivesStandForTheRootsAsWindowsMountsThem)
{
    const auto store = open();
    ASSERT_TRUE(WorldError().isEmpty()) << WorldError().toStdString();
    // CurrentControlSet is the set Select\Current names; HKEY_CURRENT_CONFIG lies inside it.
    EXPECT_EQ(store->text(RegistryRoot::LocalMachine, u"System\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs", u"kernel32"),
              "kernel32.dll");
    EXPECT_EQ(store->text(RegistryRoot::LocalMachine, u"SYSTEM\\currentcontrolset\\Control\\Session Manager\\Environment", u"Path"),
              "%SystemRoot%\\system32;C:\\Herramientas");
    EXPECT_EQ(store->text(RegistryRoot::CurrentConfig, u"Software", u"Perfil"), "actual");
    EXPECT_EQ(store->subkeyNames(RegistryRoot::LocalMachine, u""), (QStringList{"SOFTWARE", "SYSTEM"}));
    EXPECT_FALSE(store->keyExists(RegistryRoot::LocalMachine, u"Hardware"));

    // HKEY_CLASSES_ROOT: the user's classes over the machine's, listings merged.
    EXPECT_EQ(store->text(RegistryRoot::ClassesRoot, u"Progid.Machine"), "Ana's");
    EXPECT_EQ(store->text(RegistryRoot::ClassesRoot, u"Progid.Ana"), "only Ana's");
    EXPECT_EQ(store->text(RegistryRoot::CurrentUser, u"Software\\Classes\\Progid.Ana"), "only Ana's");
    EXPECT_EQ(store->text(RegistryRoot::LocalMachine, u"Software\\Classes\\Progid.Machine"), "machine's");
    // A 32-bit program's class lookups go through Wow6432Node; type libraries are shared.
    EXPECT_EQ(store->text(RegistryRoot::ClassesRoot, u"CLSID\\{22222222-0000-0000-0000-000000000002}\\InprocServer32"),
              "C:\\x86\\server.dll");
    EXPECT_EQ(store->text(RegistryRoot::ClassesRoot, u"CLSID\\{22222222-0000-0000-0000-000000000002}\\InprocServer32", {},
                          RegistryView::Native),
              "C:\\x64\\server.dll") << "a 64-bit program's view";
    EXPECT_EQ(store->text(RegistryRoot::ClassesRoot, u"TypeLib\\{11111111-0000-0000-0000-000000000001}\\1.0\\0\\win32"),
              "C:\\lib\\shared.tlb");
    EXPECT_EQ(store->subkeyNames(RegistryRoot::Users, u""), (QStringList{"S-1-5-21-1-2-3-1001"}));
    EXPECT_EQ(store->text(RegistryRoot::Users, u"S-1-5-21-1-2-3-1001\\Environment", u"TEMP"), "C:\\Users\\Ana\\Temp");

    // The environment is the machine's, not the host's.
    const WindowsEnvironment environment(*store);
    EXPECT_EQ(environment.value(u"SystemRoot"), "C:\\WINDOWS");
    EXPECT_EQ(environment.value(u"Path"), "C:\\WINDOWS\\system32;C:\\Herramientas");
    EXPECT_EQ(environment.value(u"TEMP"), "C:\\Users\\Ana\\Temp");
    EXPECT_EQ(environment.value(u"USERNAME"), "Ana");
    EXPECT_EQ(environment.value(u"USERPROFILE"), "C:\\Users\\Ana");
    EXPECT_EQ(environment.expand(u"%SystemDrive%\\x;%HOMEPATH%"), "C:\\x;\\Users\\Ana");
    EXPECT_TRUE(environment.value(u"HOME").isNull()) << "the host's own variables are not the machine's";
}

TEST_F(WindowsMachine, TheUserIsTheOneAskedForElseTheOneUsedLastAndItIsSaid)
{
    open();
    const QStringList notices = WorldNotices();
    ASSERT_GE(notices.size(), 2);
    EXPECT_TRUE(notices[0].startsWith("reading the Windows system at ")) << notices[0].toStdString();
    EXPECT_EQ(notices[1], "HKEY_CURRENT_USER is user Ana's registry, the most recently used of 2 profiles (Ana, luis; "
                          "--windows-user names another)");

    const auto store = open(QStringLiteral("LUIS"));
    EXPECT_EQ(store->text(RegistryRoot::CurrentUser, u"Environment", u"TEMP"), "C:\\Users\\luis\\Temp");
    EXPECT_FALSE(store->keyExists(RegistryRoot::ClassesRoot, u"Progid.Ana")) << "luis has no classes of his own";
    EXPECT_EQ(store->text(RegistryRoot::ClassesRoot, u"Progid.Machine"), "machine's");
    EXPECT_TRUE(WorldNotices().contains("HKEY_CURRENT_USER is user luis's registry, as asked"));

    open(QStringLiteral("nadie"));
    EXPECT_EQ(WorldError(), "no user profile named nadie (the machine's: Ana, luis)");
}

TEST_F(WindowsMachine, NothingIsWrittenToTheMachine)
{
    const auto store = open();
    EXPECT_EQ(store->createKey(RegistryRoot::CurrentUser, u"Software\\Zantrel"), WinApi::ERROR_ACCESS_DENIED);
    EXPECT_EQ(store->setValue(RegistryRoot::ClassesRoot, u"Progid.Ana", {QString(), 1, {}}), WinApi::ERROR_ACCESS_DENIED);
    EXPECT_EQ(store->deleteKey(RegistryRoot::ClassesRoot, u"Progid.Ana"), WinApi::ERROR_ACCESS_DENIED);
    EXPECT_EQ(store->deleteValue(RegistryRoot::ClassesRoot, u"Progid.Ana", u""), WinApi::ERROR_ACCESS_DENIED);
    EXPECT_EQ(store->text(RegistryRoot::ClassesRoot, u"Progid.Ana"), "only Ana's");

    // Any file write onto the machine's disk is refused, through a link too.
    AtomicFile::Failure failure;
    EXPECT_FALSE(AtomicFile::writeFile(path("Users/Ana/nuevo.txt"), "x", AtomicFile::Links::ReplaceLink, &failure));
    EXPECT_EQ(failure.number, EROFS);
    QTemporaryDir outside;
    ASSERT_TRUE(QFile::link(path("Users"), outside.filePath("users")));
    EXPECT_FALSE(AtomicFile::writeFile(outside.filePath("users/Ana/x.txt"), "x", AtomicFile::Links::ReplaceLink, &failure));
    EXPECT_TRUE(AtomicFile::writeFile(outside.filePath("fuera.txt"), "x", AtomicFile::Links::ReplaceLink, &failure))
        << failure.description.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path("Users/Ana/nuevo.txt")));
}

TEST_F(WindowsMachine, HivesNotClosedCleanlyAreReadAsTheyStandAndSaidOnce)
{
    QFile system(path("Windows/System32/config/SYSTEM"));
    ASSERT_TRUE(system.open(QIODevice::ReadOnly));
    const QByteArray image = WithSequenceNumbers(system.readAll(), 41, 40);
    system.close();
    ASSERT_TRUE(system.open(QIODevice::WriteOnly | QIODevice::Truncate));
    system.write(image);
    system.close();
    QFile log(path("Users/Ana/NTUSER.DAT.LOG1"));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.write("pending changes");
    log.close();

    const auto store = open();
    EXPECT_EQ(store->text(RegistryRoot::CurrentConfig, u"Software", u"Perfil"), "actual");
    const MachineHives* hives = store->machineHives();
    ASSERT_NE(hives, nullptr);
    EXPECT_EQ(hives->uncleanHives().size(), 2);
    const QString said = hives->notices().join(u'\n');
    EXPECT_TRUE(said.contains("the machine's system hive (") && said.contains("was not closed cleanly (its sequence numbers differ)"))
        << said.toStdString();
    EXPECT_TRUE(said.contains("user Ana's hive (") && said.contains("NTUSER.DAT) was not closed cleanly")) << said.toStdString();
    EXPECT_EQ(WorldNotas().filter("Colmena no cerrada limpiamente").size(), 2);
}

TEST_F(WindowsMachine, MissingHivesAreAnErrorForTheMachineAndEmptinessForAUser)
{
    ASSERT_TRUE(QFile::remove(path("Users/luis/NTUSER.DAT")));
    ASSERT_TRUE(QFile::remove(path("Users/Ana/NTUSER.DAT")));
    auto store = open();
    EXPECT_TRUE(WorldError().isEmpty());
    EXPECT_TRUE(WorldNotices().contains("no user profile with an NTUSER.DAT was found: HKEY_CURRENT_USER is empty"));
    EXPECT_TRUE(store->subkeyNames(RegistryRoot::CurrentUser, u"").isEmpty());
    EXPECT_EQ(store->text(RegistryRoot::ClassesRoot, u"Progid.Machine"), "machine's");

    ASSERT_TRUE(QFile::remove(path("Windows/System32/config/SYSTEM")));
    store = open();
    EXPECT_TRUE(WorldError().isEmpty()) << "the software hive is enough to resolve type libraries";
    EXPECT_TRUE(store->machineHives()->notices().join(u'\n').contains("cannot read the machine's system hive, so it is read as empty"));

    ASSERT_TRUE(QFile::remove(path("Windows/System32/config/SOFTWARE")));
    open();
    EXPECT_TRUE(WorldError().startsWith("cannot read the machine's software hive: ")) << WorldError().toStdString();
    EXPECT_TRUE(WorldError().contains(path("Windows/System32/config/SOFTWARE"))) << WorldError().toStdString();
}
