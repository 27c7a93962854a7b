#include "platform/typelib/PrefixCheck.h"

#include "platform/files/PathMapper.h"
#include "support_files/TempPrefix.h"
#include "support_files/WineRegistryText.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kStdole = QStringLiteral("{00020430-0000-0000-C000-000000000046}");
const QString kStdolePath = QStringLiteral("C:\\windows\\system32\\stdole2.tlb");

// The marks each half of Wine leaves in a prefix it makes: its kernel32.dll in its system
// folder and its registration of stdole 2.0.
struct Halves {
    bool with64 = true;
    bool with32 = true;
};

void makeWinePrefix(const TempPrefix& prefix, Halves halves)
{
    WineRegistryText machine(WineRegistryText::Hive::Machine, halves.with64);
    if (halves.with64) {
        prefix.writeFile("windows/system32/kernel32.dll", "MZ");
        prefix.makeFolder("windows/syswow64");
        machine.typeLib64(kStdole, "2.0", "0", kStdolePath, "OLE Automation");
        if (halves.with32) {
            prefix.writeFile("windows/syswow64/kernel32.dll", "MZ");
            machine.key("Software\\Classes\\Typelib\\" + kStdole + "\\2.0\\0\\win32").value("", kStdolePath);
        }
    } else {
        prefix.writeFile("windows/system32/kernel32.dll", "MZ");
        machine.typeLib(kStdole, "2.0", "0", kStdolePath, "OLE Automation");
    }
    machine.writeTo(prefix);
}

}

TEST(PrefixCheck, APrefixMadeWithoutWines32BitHalfIsToldByEitherSign)
{
    {
        SCOPED_TRACE("as Debian's wine64 alone makes it: both signs");
        TempPrefix prefix;
        makeWinePrefix(prefix, {.with64 = true, .with32 = false});
        const PrefixCheck check = CheckCurrentPrefix();
        EXPECT_EQ(check.problem, PrefixProblem::Without32Bit);
        EXPECT_EQ(check.prefix, prefix.root());
    }
    {
        SCOPED_TRACE("the registry alone: stdole under win64 only");
        TempPrefix prefix;
        WineRegistryText machine(WineRegistryText::Hive::Machine, true);
        machine.typeLib64(kStdole, "2.0", "0", kStdolePath, "OLE Automation").writeTo(prefix);
        EXPECT_EQ(CheckCurrentPrefix().problem, PrefixProblem::Without32Bit);
    }
    {
        SCOPED_TRACE("the folders alone: an empty syswow64 beside a system32 Wine filled");
        TempPrefix prefix;
        prefix.writeFile("windows/system32/kernel32.dll", "MZ");
        prefix.makeFolder("windows/SysWOW64");
        EXPECT_EQ(CheckCurrentPrefix().problem, PrefixProblem::Without32Bit);
    }
    {
        SCOPED_TRACE("a 64-bit prefix by its registry, with no syswow64 at all");
        TempPrefix prefix;
        prefix.writeFile("windows/system32/kernel32.dll", "MZ");
        WineRegistryText(WineRegistryText::Hive::Machine, true).writeTo(prefix);
        EXPECT_EQ(CheckCurrentPrefix().problem, PrefixProblem::Without32Bit);
    }
}

TEST(PrefixCheck, PrefixesThatAnswerForA32BitProgramAreNotBlamed)
{
    {
        SCOPED_TRACE("both halves of Wine");
        TempPrefix prefix;
        makeWinePrefix(prefix, {.with64 = true, .with32 = true});
        EXPECT_EQ(CheckCurrentPrefix().problem, PrefixProblem::None);
    }
    {
        SCOPED_TRACE("a 32-bit prefix: system32 is the 32-bit folder, there is no syswow64");
        TempPrefix prefix;
        makeWinePrefix(prefix, {.with64 = false});
        EXPECT_EQ(CheckCurrentPrefix().problem, PrefixProblem::None);
    }
    {
        SCOPED_TRACE("a hand-made prefix with neither Wine's files nor its registrations");
        TempPrefix prefix;
        prefix.makeFolder("windows/syswow64");
        prefix.writeFile("windows/system32/facturacion32.dll", "MZ");
        EXPECT_EQ(CheckCurrentPrefix().problem, PrefixProblem::None);
    }
    {
        SCOPED_TRACE("a kernel32.dll that is a folder is no sign of Wine");
        TempPrefix prefix;
        prefix.makeFolder("windows/system32/kernel32.dll");
        prefix.makeFolder("windows/syswow64");
        EXPECT_EQ(CheckCurrentPrefix().problem, PrefixProblem::None);
    }
    {
        SCOPED_TRACE("the demo prefix");
        const QString previous = PathMapper::current().prefix();
        PathMapper::setCurrent(ZANTREL_SOURCE_DIR "/examples/demo-prefix");
        EXPECT_EQ(CheckCurrentPrefix().problem, PrefixProblem::None);
        PathMapper::setCurrent(previous);
    }
}

TEST(PrefixCheck, NoPrefixAndTheTextsSayWhichPrefixWhatIsWrongAndWhatToDo)
{
    QTemporaryDir empty;
    const QString previous = PathMapper::current().prefix();
    PathMapper::setCurrent(empty.path() + "/no-prefix");
    const PrefixCheck none = CheckCurrentPrefix();
    PathMapper::setCurrent(previous);
    EXPECT_EQ(none.problem, PrefixProblem::NoPrefix);
    EXPECT_EQ(none.prefix, empty.path() + "/no-prefix");
    EXPECT_EQ(PrefixProblemText(none), "no Wine prefix at " + empty.path()
                                           + "/no-prefix ($WINEPREFIX, else ~/.wine): no reference or component "
                                             "can be resolved");
    EXPECT_TRUE(PrefixProblemTexto(none).startsWith("No hay un prefijo de Wine en " + empty.path() + "/no-prefix"))
        << PrefixProblemTexto(none).toStdString();

    const PrefixCheck half{PrefixProblem::Without32Bit, "/root/.wine"};
    for (const QString& text : {PrefixProblemText(half), PrefixProblemTexto(half)}) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_TRUE(text.contains("/root/.wine"));
        EXPECT_TRUE(text.contains("32"));
        EXPECT_TRUE(text.contains("dpkg --add-architecture i386 && apt install wine32"));
        EXPECT_TRUE(text.contains("wineboot"));
        EXPECT_FALSE(text.contains('\n')) << "one line on standard error";
    }
    EXPECT_TRUE(PrefixProblemTexto(half).startsWith("El prefijo de Wine /root/.wine"));
    EXPECT_TRUE(PrefixProblemText(PrefixCheck{PrefixProblem::None, "/root/.wine"}).isEmpty());
    EXPECT_TRUE(PrefixProblemTexto(PrefixCheck{PrefixProblem::None, "/root/.wine"}).isEmpty());
}
