#include "platform/registry/RegistryStore.h"
#include "platform/registry/WindowsEnvironment.h"
#include "support_files/TempPrefix.h"
#include "support_files/WineRegistryText.h"

#include <QtGlobal>
#include <gtest/gtest.h>

namespace {

// The environment keys of a new Wine prefix, as wine.inf and wineboot leave them.
void writeEnvironment(const TempPrefix& prefix, bool win64)
{
    WineRegistryText machine(WineRegistryText::Hive::Machine, win64);
    machine.key(QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion"))
        .value(QStringLiteral("CommonFilesDir"), QStringLiteral("C:\\Program Files\\Common Files"))
        .value(QStringLiteral("ProgramFilesDir"), QStringLiteral("C:\\Program Files"));
    machine.key(QStringLiteral("System\\CurrentControlSet\\Control\\Session Manager\\Environment"))
        .expandValue(QStringLiteral("ComSpec"), QStringLiteral("%SystemRoot%\\system32\\cmd.exe"))
        .expandValue(QStringLiteral("PATH"), QStringLiteral("%SystemRoot%\\system32;%SystemRoot%"))
        .value(QStringLiteral("PATHEXT"), QStringLiteral(".COM;.EXE;.BAT"))
        .expandValue(QStringLiteral("TEMP"), QStringLiteral("%SystemRoot%\\temp"))
        .expandValue(QStringLiteral("windir"), QStringLiteral("%SystemRoot%"));
    machine.writeTo(prefix);
    WineRegistryText user(WineRegistryText::Hive::User, win64);
    user.key(QStringLiteral("Environment"))
        .value(QStringLiteral("PATH"), QStringLiteral("C:\\tools"))
        .expandValue(QStringLiteral("TEMP"), QStringLiteral("%USERPROFILE%\\Temp"))
        .value(QStringLiteral("USERPROFILE"), QStringLiteral("C:\\users\\dev"));
    user.writeTo(prefix);
}

}

TEST(WindowsEnvironment, TheRegistryOverlaysTheProcessAndWineSetsTheSystemFolders)
{
    TempPrefix prefix;
    writeEnvironment(prefix, false);
    qputenv("ZANTREL_TEST_VARIABLE", "from the process");
    const QByteArray oldTemp = qgetenv("TEMP");
    qputenv("TEMP", "/tmp");
    RegistryStore store(prefix.root());
    const WindowsEnvironment environment(store);

    EXPECT_EQ(environment.value(u"zantrel_test_variable"), QStringLiteral("from the process"));
    EXPECT_EQ(environment.value(u"SYSTEMROOT"), QStringLiteral("C:\\windows"));
    EXPECT_EQ(environment.value(u"ComSpec"), QStringLiteral("C:\\windows\\system32\\cmd.exe")) << "expandable values are expanded";
    EXPECT_EQ(environment.value(u"windir"), QStringLiteral("C:\\windows"));
    EXPECT_EQ(environment.value(u"TEMP"), QStringLiteral("C:\\users\\dev\\Temp"))
        << "the user's variables win, and may use the user's plain ones";
    EXPECT_EQ(environment.value(u"Path"), QStringLiteral("C:\\windows\\system32;C:\\windows;C:\\tools"))
        << "the user's PATH adds to the system's";
    EXPECT_EQ(environment.value(u"ProgramFiles"), QStringLiteral("C:\\Program Files"));
    EXPECT_EQ(environment.value(u"CommonProgramFiles"), QStringLiteral("C:\\Program Files\\Common Files"));
    EXPECT_TRUE(environment.value(u"NOPE").isNull());
    qunsetenv("ZANTREL_TEST_VARIABLE");
    if (oldTemp.isNull())
        qunsetenv("TEMP");
    else
        qputenv("TEMP", oldTemp);
}

TEST(WindowsEnvironment, AThirtyTwoBitProgramInASixtyFourBitPrefixSeesTheX86Folders)
{
    TempPrefix prefix;
    prefix.makeFolder(QStringLiteral("windows/syswow64"));
    writeEnvironment(prefix, true);
    RegistryStore store(prefix.root());
    const WindowsEnvironment environment(store);
    EXPECT_EQ(environment.value(u"ProgramFiles"), QStringLiteral("C:\\Program Files (x86)"));
    EXPECT_EQ(environment.value(u"CommonProgramFiles"), QStringLiteral("C:\\Program Files (x86)\\Common Files"));
}

TEST(WindowsEnvironment, ExpansionReplacesKnownNamesAndKeepsTheRestAsWritten)
{
    TempPrefix prefix;
    writeEnvironment(prefix, false);
    RegistryStore store(prefix.root());
    const WindowsEnvironment environment(store);
    EXPECT_EQ(environment.expand(u"%SystemRoot%\\x"), QStringLiteral("C:\\windows\\x"));
    EXPECT_EQ(environment.expand(u"%systemroot%\\%WINDIR%"), QStringLiteral("C:\\windows\\C:\\windows"));
    EXPECT_EQ(environment.expand(u"%NOPE%"), QStringLiteral("%NOPE%"));
    EXPECT_EQ(environment.expand(u"%NOPE%SystemRoot%"), QStringLiteral("%NOPEC:\\windows"))
        << "the scan goes on from the closing '%' of an unknown name";
    EXPECT_EQ(environment.expand(u"50% %% %1 100%"), QStringLiteral("50% %% %1 100%"));
    EXPECT_EQ(environment.expand(u"%SystemRoot"), QStringLiteral("%SystemRoot"));
}

TEST(WindowsEnvironment, ExpandEnvironmentStringsReportsTheSizeItNeeds)
{
    TempPrefix prefix;
    writeEnvironment(prefix, false);
    const WinApi::DWORD needed = WinApi::ExpandEnvironmentStringsA("%SystemRoot%\\x", nullptr, 0);
    EXPECT_EQ(needed, 13u);
    char small[4] = {'k', 'e', 'e', 'p'};
    EXPECT_EQ(WinApi::ExpandEnvironmentStringsA("%SystemRoot%\\x", small, sizeof small), 13u);
    EXPECT_EQ(small[0], 'k') << "too small a buffer is not written";
    char buffer[13];
    EXPECT_EQ(WinApi::ExpandEnvironmentStringsA("%SystemRoot%\\x", buffer, sizeof buffer), 13u);
    EXPECT_STREQ(buffer, "C:\\windows\\x");
    EXPECT_EQ(WinApi::ExpandEnvironmentStringsA("%TEMP%", buffer, sizeof buffer), 18u) << "C:\\users\\dev\\Temp";
}

TEST(WindowsEnvironment, ValuesThatExpandEachOtherStopAtTheWindowsLimit)
{
    // A system.reg of under 3 KB whose values would expand to 100^7 characters.
    TempPrefix prefix;
    WineRegistryText machine(WineRegistryText::Hive::Machine, false);
    auto& environmentKey = machine.key(QStringLiteral("System\\CurrentControlSet\\Control\\Session Manager\\Environment"));
    environmentKey.value(QStringLiteral("V1"), QStringLiteral("abcdefghij"));
    for (int n = 2; n <= 8; ++n)
        environmentKey.expandValue(QStringLiteral("V%1").arg(n), QStringLiteral("%V%1%").arg(n - 1).repeated(100));
    machine.writeTo(prefix);
    RegistryStore store(prefix.root());
    const WindowsEnvironment environment(store);

    EXPECT_EQ(environment.value(u"V2").size(), 1000);
    for (const char16_t* name : {u"V3", u"V8"}) {
        const QString value = environment.value(name);
        EXPECT_EQ(value.size(), WindowsEnvironment::kMaxExpandedLength);
        EXPECT_TRUE(value.startsWith(QStringLiteral("abcdefghijabcdefghij")));
    }
    const QString expanded = environment.expand(QStringLiteral("<%V8%%V8%>"));
    EXPECT_EQ(expanded.size(), WindowsEnvironment::kMaxExpandedLength);
    EXPECT_TRUE(expanded.startsWith(u'<'));
    EXPECT_EQ(WinApi::ExpandEnvironmentStringsA("%V8%", nullptr, 0), 32768u);
}

TEST(WindowsEnvironment, ManyValuesAtTheLimitStopAtTheTotalAndTheRestStayAsWritten)
{
    // A few kilobytes of registry whose 2,000 values would each expand to the 32,767-character
    // limit: 65 million characters in all without a bound on the total.
    TempPrefix prefix;
    WineRegistryText machine(WineRegistryText::Hive::Machine, false);
    auto& environmentKey = machine.key(QStringLiteral("System\\CurrentControlSet\\Control\\Session Manager\\Environment"));
    environmentKey.value(QStringLiteral("A"), QStringLiteral("abcdefghij"));
    environmentKey.expandValue(QStringLiteral("B"), QStringLiteral("%A%").repeated(100));
    environmentKey.expandValue(QStringLiteral("C"), QStringLiteral("%B%").repeated(33));
    constexpr int count = 2000;
    for (int n = 1; n <= count; ++n)
        environmentKey.expandValue(QStringLiteral("E%1").arg(n), QStringLiteral("%C%"));
    machine.writeTo(prefix);
    RegistryStore store(prefix.root());
    const WindowsEnvironment environment(store);

    EXPECT_EQ(environment.value(u"E1").size(), WindowsEnvironment::kMaxExpandedLength) << "the first ones are expanded";
    EXPECT_EQ(environment.value(QStringLiteral("E%1").arg(count)), QStringLiteral("%C%"))
        << "past the total, a value keeps its text as written";
    EXPECT_GE(environment.expandedLength(), WindowsEnvironment::kMaxTotalExpandedLength);
    EXPECT_LE(environment.expandedLength(),
              WindowsEnvironment::kMaxTotalExpandedLength + WindowsEnvironment::kMaxExpandedLength);
    qsizetype held = 0;
    for (int n = 1; n <= count; ++n)
        held += environment.value(QStringLiteral("E%1").arg(n)).size();
    EXPECT_LE(held, WindowsEnvironment::kMaxTotalExpandedLength + WindowsEnvironment::kMaxExpandedLength);
    // A lookup expands one level, as Windows does: the value kept as written comes back so.
    EXPECT_EQ(environment.expand(QStringLiteral("<%E1%>")).size(), WindowsEnvironment::kMaxExpandedLength);
    EXPECT_EQ(environment.expand(QStringLiteral("%E%1%").arg(count)), QStringLiteral("%C%"));
}

// Wine gives every program SystemDrive and the user's logon variables (HKCU\Volatile
// Environment) before the Environment keys, which may name them, as a Windows machine's do.
TEST(WindowsEnvironment, WinesLogonVariablesComeBeforeTheUsersEnvironment)
{
    TempPrefix prefix;
    WineRegistryText machine;
    machine.key("System\\CurrentControlSet\\Control\\Session Manager\\Environment").expandValue("PATH", "%SystemDrive%\\sendero");
    machine.writeTo(prefix);
    WineRegistryText user(WineRegistryText::Hive::User);
    user.key("Volatile Environment").value("USERNAME", "dev").value("USERPROFILE", "C:\\users\\dev");
    user.key("Environment").expandValue("PATH", "%USERPROFILE%\\bin;C:\\users\\%USERNAME%\\otra");
    user.writeTo(prefix);
    RegistryStore store(prefix.root());
    const WindowsEnvironment environment(store);
    EXPECT_EQ(environment.value(u"SystemDrive"), "C:");
    EXPECT_EQ(environment.value(u"Path"), "C:\\sendero;C:\\users\\dev\\bin;C:\\users\\dev\\otra");
}
