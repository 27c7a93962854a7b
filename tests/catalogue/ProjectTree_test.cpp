#include "catalogue/ProjectTree.h"
#include "platform/files/HostNames.h"
#include "support_files/FileBytes.h"
#include "support_files/TempPrefix.h"
#include "support_files/UnlistableFolder.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(ProjectTree, FoldersWhoseNamesAreNotValidTextAreWalkedAsThemselves)
{
    TempPrefix prefix;
    prefix.makeFolder("src");
    const QByteArray src = HostNames::encode(prefix.hostPath("src"));
    // Two names a lossy decoding would make one: the byte FF, and a real U+FFFD.
    ASSERT_EQ(::mkdir((src + "/X\xff").constData(), 0755), 0);
    ASSERT_EQ(::mkdir((src + "/X\xef\xbf\xbd").constData(), 0755), 0);
    writeAllAtHostName(src + "/X\xff/crudo.vbp", "Type=Exe\r\n");
    writeAllAtHostName(src + "/X\xef\xbf\xbd/real.vbp", "Type=Exe\r\n");
    // The temporary prefix cannot remove a name that is not valid text; these go by hand.
    struct Cleanup {
        QByteArray src;
        ~Cleanup()
        {
            ::unlink((src + "/X\xff/crudo.vbp").constData());
            ::rmdir((src + "/X\xff").constData());
        }
    } cleanup{src};

    const ProjectTreeListing listing = ListProjectTree("c:\\src");
    EXPECT_TRUE(listing.unreadable.isEmpty()) << listing.unreadable.join(u' ').toStdString();
    QStringList files = listing.files;
    files.sort();
    QStringList expected{"c:\\src\\" + HostNames::decode("X\xff") + "\\crudo.vbp",
                         "c:\\src\\X" + QString(QChar(0xFFFD)) + "\\real.vbp"};
    expected.sort();
    EXPECT_EQ(files, expected);
}

TEST(ProjectTree, AFolderThatCannotBeReadIsNamedAndTheWalkGoesOn)
{
    TempPrefix prefix;
    prefix.writeLines("src/a/uno.vbp", {"Type=Exe"});
    prefix.writeLines("src/b/cerrada/dos.vbp", {"Type=Exe"});
    prefix.writeLines("src/c/tres.vbp", {"Type=Exe"});
    ProjectTreeListing listing;
    {
        // Unlistable even for the superuser, who otherwise reads every folder.
        const UnlistableFolder closed(prefix.hostPath("src/b"));
        ASSERT_TRUE(closed.unlistable());
        listing = ListProjectTree("c:\\src");
    }
    EXPECT_EQ(listing.files, QStringList({"c:\\src\\a\\uno.vbp", "c:\\src\\c\\tres.vbp"}));
    EXPECT_EQ(listing.unreadable, QStringList({"c:\\src\\b\\"}));
}

TEST(ProjectTree, ALinkToAPseudoFileSystemIsNotEnteredAndIsNamed)
{
    // /proc and /sys show the running system: tens of thousands of folders that change while they
    // are listed, some unreadable or endless. A walk reaching them through a link stays out.
    TempPrefix prefix;
    prefix.writeLines("src/a/uno.vbp", {"Type=Exe"});
    prefix.writeLines("src/z/dos.vbp", {"Type=Exe"});
    ASSERT_EQ(::symlink("/proc", QFile::encodeName(prefix.hostPath("src/proc")).constData()), 0);
    ASSERT_EQ(::symlink("/sys", QFile::encodeName(prefix.hostPath("src/sys")).constData()), 0);

    const ProjectTreeListing listing = ListProjectTree("c:\\src");
    EXPECT_EQ(listing.files, QStringList({"c:\\src\\a\\uno.vbp", "c:\\src\\z\\dos.vbp"}));
    EXPECT_TRUE(listing.unreadable.isEmpty()) << listing.unreadable.join(u' ').toStdString();
    ASSERT_EQ(listing.skipped.size(), 2);
    EXPECT_EQ(listing.skipped[0].windowsPath, "c:\\src\\proc\\");
    EXPECT_EQ(listing.skipped[0].hostPath, prefix.hostPath("src/proc"));
    EXPECT_EQ(listing.skipped[0].reason, "a pseudo file system (proc)");
    EXPECT_EQ(listing.skipped[1].windowsPath, "c:\\src\\sys\\");
    EXPECT_EQ(listing.skipped[1].reason, "a pseudo file system (sysfs)");
}

TEST(ProjectTree, NamesHoldingABackslashAreNamedAndNeverReadAsAnotherEntry)
{
    // "sub\x.vbp" joined to the folder's Windows path would name sub/x.vbp, which the walk
    // lists in its own place; "a\b" would be the folder a/b.
    TempPrefix prefix;
    prefix.writeLines("src/sub/x.vbp", {"Type=Exe"});
    prefix.writeLines("src/sub\\x.vbp", {"Type=OleDll"});
    prefix.writeLines("src/a/b/z.vbp", {"Type=Exe"});
    prefix.writeLines("src/a\\b/y.vbp", {"Type=Exe"});

    const ProjectTreeListing listing = ListProjectTree("c:\\src");
    EXPECT_EQ(listing.files, QStringList({"c:\\src\\a\\b\\z.vbp", "c:\\src\\sub\\x.vbp"})) << "each once, as itself";
    QStringList skipped;
    for (const SkippedTreeEntry& entry : listing.skipped) {
        skipped.append(entry.hostPath);
        EXPECT_TRUE(entry.windowsPath.isEmpty());
        EXPECT_EQ(entry.reason, "its name holds a backslash, which no Windows path can name");
    }
    EXPECT_EQ(skipped, QStringList({prefix.hostPath("src/sub\\x.vbp"), prefix.hostPath("src/a\\b")}));
}
