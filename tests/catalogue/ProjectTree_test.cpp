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
