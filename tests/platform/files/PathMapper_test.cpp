#include "platform/files/FolderListing.h"
#include "platform/files/PathMapper.h"
#include "support_files/TempPrefix.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(PathMapper, DrivesComeFromTheDosdevicesLinks)
{
    TempPrefix prefix;
    QDir(prefix.root()).mkpath(QStringLiteral("elsewhere/src"));
    QFile::link(prefix.root() + QStringLiteral("/elsewhere"), prefix.root() + QStringLiteral("/dosdevices/d:"));
    const PathMapper mapper(prefix.root());

    EXPECT_EQ(QDir(mapper.toHost(QStringLiteral("c:\\"))).canonicalPath(), QDir(prefix.hostPath(QString())).canonicalPath());
    EXPECT_EQ(QDir(mapper.toHost(QStringLiteral("D:\\src"))).canonicalPath(), QDir(prefix.root() + QStringLiteral("/elsewhere/src")).canonicalPath());
    EXPECT_EQ(mapper.toHost(QStringLiteral("z:\\etc")), QStringLiteral("/etc"));
    EXPECT_TRUE(mapper.toHost(QStringLiteral("q:\\nothing")).isEmpty()) << "an unknown drive has no host path";
    EXPECT_TRUE(mapper.toHost(QStringLiteral("relative\\path")).isEmpty());
    EXPECT_TRUE(mapper.toHost(QStringLiteral("\\\\server\\share")).isEmpty());
}

TEST(PathMapper, ComponentsResolveIgnoringCaseAndMissingOnesStayAsWritten)
{
    TempPrefix prefix;
    prefix.writeFile(QStringLiteral("Proyectos/VB6/Facturas.VBP"), "x");
    const PathMapper mapper(prefix.root());

    EXPECT_EQ(mapper.toHost(QStringLiteral("C:\\PROYECTOS\\vb6\\facturas.vbp")), prefix.hostPath(QStringLiteral("Proyectos/VB6/Facturas.VBP")));
    EXPECT_EQ(mapper.toHost(QStringLiteral("c:/proyectos/vb6/facturas.vbp")), prefix.hostPath(QStringLiteral("Proyectos/VB6/Facturas.VBP")))
        << "forward slashes are separators too";
    EXPECT_EQ(mapper.toHost(QStringLiteral("c:\\proyectos\\Nuevo\\uno.vbp")), prefix.hostPath(QStringLiteral("Proyectos/Nuevo/uno.vbp")))
        << "the existing part is matched, the rest is kept for a file about to be made";
    EXPECT_EQ(mapper.toHost(QStringLiteral("c:\\proyectos\\..\\proyectos\\.\\vb6\\")), prefix.hostPath(QStringLiteral("Proyectos/VB6")));
    EXPECT_EQ(mapper.toHost(QStringLiteral("c:\\..\\..\\etc")), prefix.hostPath(QStringLiteral("etc")))
        << "'..' never climbs above the drive's root";
}

TEST(PathMapper, ExactCaseWinsOverAnotherCase)
{
    TempPrefix prefix;
    prefix.writeFile(QStringLiteral("tmp/a.vbp"), "lower");
    prefix.writeFile(QStringLiteral("TMP/a.vbp"), "upper");
    const PathMapper mapper(prefix.root());
    EXPECT_EQ(mapper.toHost(QStringLiteral("c:\\TMP\\a.vbp")), prefix.hostPath(QStringLiteral("TMP/a.vbp")));
    EXPECT_EQ(mapper.toHost(QStringLiteral("c:\\tmp\\a.vbp")), prefix.hostPath(QStringLiteral("tmp/a.vbp")));
}

TEST(PathMapper, System32IsThe32BitViewInAPrefixWithSyswow64)
{
    TempPrefix prefix;
    prefix.writeFile(QStringLiteral("windows/system32/stdole2.tlb"), "64");
    EXPECT_EQ(PathMapper(prefix.root()).toHost(QStringLiteral("C:\\Windows\\System32\\stdole2.tlb")),
              prefix.hostPath(QStringLiteral("windows/system32/stdole2.tlb")))
        << "a 32-bit prefix has no syswow64";

    prefix.writeFile(QStringLiteral("windows/syswow64/stdole2.tlb"), "32");
    const PathMapper mapper(prefix.root());
    EXPECT_EQ(mapper.toHost(QStringLiteral("C:\\Windows\\System32\\stdole2.tlb")), prefix.hostPath(QStringLiteral("windows/syswow64/stdole2.tlb")));
    EXPECT_EQ(mapper.toHost(QStringLiteral("c:\\windows\\system32")), prefix.hostPath(QStringLiteral("windows/syswow64")));
    EXPECT_EQ(mapper.toHost(QStringLiteral("c:\\windows\\system")), prefix.hostPath(QStringLiteral("windows/system")))
        << "only system32 is redirected";
}

TEST(PathMapper, TheNativeViewIsThePrefixsOwnSystem32)
{
    TempPrefix prefix;
    prefix.writeFile(QStringLiteral("windows/system32/stdole2.tlb"), "64");
    EXPECT_FALSE(PathMapper(prefix.root()).redirectsSystem32());
    EXPECT_EQ(PathMapper(prefix.root()).toHostNative(QStringLiteral("C:\\Windows\\System32\\stdole2.tlb")),
              prefix.hostPath(QStringLiteral("windows/system32/stdole2.tlb")));

    prefix.makeFolder(QStringLiteral("windows/syswow64"));
    const PathMapper mapper(prefix.root());
    EXPECT_TRUE(mapper.redirectsSystem32());
    EXPECT_EQ(mapper.toHostNative(QStringLiteral("c:\\windows\\SYSTEM32\\stdole2.tlb")),
              prefix.hostPath(QStringLiteral("windows/system32/stdole2.tlb")));
    EXPECT_EQ(mapper.toHost(QStringLiteral("c:\\windows\\SYSTEM32\\stdole2.tlb")),
              prefix.hostPath(QStringLiteral("windows/syswow64/stdole2.tlb")))
        << "the 32-bit view is unchanged";
    EXPECT_EQ(mapper.toHostNative(QStringLiteral("c:\\windows\\syswow64")), prefix.hostPath(QStringLiteral("windows/syswow64")));
    EXPECT_EQ(mapper.toHostNative(QStringLiteral("system32\\x.dll")), QString()) << "relative: no host form";
}

TEST(PathMapper, HostPathsMapBackThroughTheLongestDriveElseZ)
{
    TempPrefix prefix;
    prefix.writeFile(QStringLiteral("tmp/Facturas.vbp"), "x");
    const PathMapper mapper(prefix.root());

    EXPECT_EQ(mapper.toWindows(prefix.hostPath(QStringLiteral("tmp/Facturas.vbp"))), QStringLiteral("C:\\tmp\\Facturas.vbp"));
    EXPECT_EQ(mapper.toWindows(prefix.root() + QStringLiteral("/drive_c")), QStringLiteral("C:\\"));
    EXPECT_EQ(mapper.toWindows(QStringLiteral("/usr/share")), QStringLiteral("Z:\\usr\\share"));
    EXPECT_EQ(mapper.toWindows(QStringLiteral("/")), QStringLiteral("Z:\\"));
    // Round trip through both directions.
    const QString windows = mapper.toWindows(prefix.hostPath(QStringLiteral("tmp")));
    EXPECT_EQ(mapper.toHost(windows), prefix.hostPath(QStringLiteral("tmp")));
    // A link keeps its own name (what a name says, such as its extension, is the link's).
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.filePath(QStringLiteral("x.txt")), prefix.hostPath(QStringLiteral("tmp/informe.rtf"))));
    EXPECT_EQ(mapper.toWindows(prefix.hostPath(QStringLiteral("tmp/informe.rtf"))), QStringLiteral("C:\\tmp\\informe.rtf"));
}

TEST(PathMapper, WithoutAPrefixOnlyDriveZExists)
{
    QTemporaryDir nowhere;
    const PathMapper mapper(nowhere.path() + QStringLiteral("/no-such-prefix"));
    EXPECT_TRUE(mapper.driveRoot(u'c').isEmpty());
    EXPECT_EQ(mapper.toHost(QStringLiteral("z:\\tmp")), QStringLiteral("/tmp"));
    EXPECT_EQ(mapper.toWindows(QStringLiteral("/tmp")), QStringLiteral("Z:\\tmp"));
}

TEST(PathMapper, DefaultPrefixFollowsWineprefix)
{
    const QByteArray saved = qgetenv("WINEPREFIX");
    qputenv("WINEPREFIX", "/opt/some-prefix");
    EXPECT_EQ(PathMapper::defaultPrefix(), QStringLiteral("/opt/some-prefix"));
    qunsetenv("WINEPREFIX");
    EXPECT_EQ(PathMapper::defaultPrefix(), QDir::homePath() + QStringLiteral("/.wine"));
    if (!saved.isEmpty())
        qputenv("WINEPREFIX", saved);
}

TEST(FolderListingCache, FindsNamesIgnoringCaseAndListsEachFolderOnce)
{
    QTemporaryDir dir;
    for (const char* name : {"Lib.DLL", "lib.dll", "Otra.ocx"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString uncached = findEntryIgnoringCase(dir.path(), QStringLiteral("LIB.dll"));
    EXPECT_FALSE(uncached.isEmpty());
    {
        FolderListingCache cache;
        const FolderListingCache::Use use(cache);
        EXPECT_EQ(findEntryIgnoringCase(dir.path(), QStringLiteral("LIB.dll")), uncached)
            << "the same entry as an uncached lookup";
        EXPECT_EQ(findEntryIgnoringCase(dir.path(), QStringLiteral("otra.OCX")), QStringLiteral("Otra.ocx"));
        EXPECT_TRUE(findEntryIgnoringCase(dir.path(), QStringLiteral("nueva.dll")).isEmpty());
        QFile later(dir.filePath(QStringLiteral("Nueva.dll")));
        ASSERT_TRUE(later.open(QIODevice::WriteOnly));
        EXPECT_TRUE(findEntryIgnoringCase(dir.path(), QStringLiteral("nueva.dll")).isEmpty())
            << "the folder was listed once, at its first lookup";
        EXPECT_TRUE(findEntryIgnoringCase(dir.filePath(QStringLiteral("no")), QStringLiteral("x")).isEmpty());
    }
    EXPECT_EQ(findEntryIgnoringCase(dir.path(), QStringLiteral("nueva.dll")), QStringLiteral("Nueva.dll"))
        << "without the cache each lookup lists afresh";
}
