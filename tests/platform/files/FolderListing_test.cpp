#include "platform/files/FolderListing.h"
#include "platform/files/HostNames.h"
#include "support_files/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList describe(const std::vector<FolderEntry>& entries)
{
    QStringList lines;
    for (const FolderEntry& e : entries)
        lines.append(e.name + (e.kind == FolderEntryKind::Folder ? "/" : e.kind == FolderEntryKind::File ? "" : "?"));
    return lines;
}

}

TEST(FolderListing, EntriesComeInNameOrderIgnoringCaseWithTheirKindsThroughLinks)
{
    QTemporaryDir dir;
    const QDir root(dir.path());
    ASSERT_TRUE(root.mkpath("sub") && root.mkpath("Otro") && root.mkpath(".oculta"));
    for (const char* name : {"b.vbp", "B.vbp", "a.txt"})
        writeAll(root.filePath(name), "x");
    ASSERT_TRUE(QFile::link(root.filePath("sub"), root.filePath("enlace")));
    ASSERT_TRUE(QFile::link(root.filePath("a.txt"), root.filePath("c.lnk")));
    ASSERT_TRUE(QFile::link(root.filePath("no-existe"), root.filePath("roto")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(root.filePath("tubo")).constData(), 0600), 0);

    const auto entries = ListFolderEntries(dir.path());
    ASSERT_TRUE(entries);
    EXPECT_EQ(describe(*entries), QStringList({".oculta/", "a.txt", "B.vbp", "b.vbp", "c.lnk", "enlace/", "Otro/",
                                               "roto?", "sub/", "tubo?"}))
        << "hidden entries are listed too; a link is what it leads to, a dangling one is neither";
    EXPECT_FALSE(ListFolderEntries(root.filePath("no-existe")));
    EXPECT_FALSE(ListFolderEntries(root.filePath("a.txt"))) << "a file is no folder to list";
}

TEST(FolderListing, NamesThatAreNotValidTextAreListedAsThemselves)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    ASSERT_EQ(::mkdir((folder + "/X\xff").constData(), 0755), 0);
    ASSERT_EQ(::mkdir((folder + "/X\xef\xbf\xbd").constData(), 0755), 0);
    writeAllAtHostName(folder + "/X\xff/p.vbp", "x");
    // QTemporaryDir cannot remove a name that is not valid text; these go by hand.
    struct Cleanup {
        QByteArray folder;
        ~Cleanup()
        {
            ::unlink((folder + "/X\xff/p.vbp").constData());
            ::rmdir((folder + "/X\xff").constData());
        }
    } cleanup{folder};

    const auto entries = ListFolderEntries(dir.path());
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 2u);
    const QString raw = HostNames::decode("X\xff");
    const QString replacement = QString::fromUtf8("X\xef\xbf\xbd");
    EXPECT_TRUE(((*entries)[0].name == raw && (*entries)[1].name == replacement)
                || ((*entries)[0].name == replacement && (*entries)[1].name == raw))
        << "two folders, two names";
    const auto inside = ListFolderEntries(dir.path() + u'/' + raw);
    ASSERT_TRUE(inside) << "the listed name opens the folder it was listed from";
    EXPECT_EQ(describe(*inside), QStringList({"p.vbp"}));
}

TEST(FolderListing, AFolderHasOneIdentityWhateverPathReachesIt)
{
    QTemporaryDir dir;
    const QDir root(dir.path());
    ASSERT_TRUE(root.mkpath("a/b") && root.mkpath("c"));
    ASSERT_TRUE(QFile::link(root.filePath("a"), root.filePath("a/b/vuelta")));

    const auto a = IdentityOf(root.filePath("a"));
    ASSERT_TRUE(a);
    EXPECT_EQ(IdentityOf(root.filePath("a/b/vuelta")), a);
    EXPECT_EQ(IdentityOf(root.filePath("a/b/vuelta/b/..")), a);
    EXPECT_NE(IdentityOf(root.filePath("c")), a);
    EXPECT_NE(IdentityOf(root.filePath("a/b")), a);
    EXPECT_FALSE(IdentityOf(root.filePath("no-existe")));
}
