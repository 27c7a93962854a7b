#include "platform/controls/MemoryControls.h"
#include "platform/core/ProgramError.h"
#include "support_files/ErrorNumber.h"
#include "support_files/TempPrefix.h"
#include "support_files/UnlistableFolder.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(MemoryTree, NodesAreReachableByKeyAndByPositionInInsertionOrder)
{
    MemoryTree tree;
    tree.Add({}, "root", "Sistemas", 7);
    tree.Add("root", "k1", "A (a.vbp)", 7);
    tree.Add("k1", "dll1", "Referencias", 20);
    tree.Add("root", "k2", "B (b.vbp)", 7);
    tree.Add("k1", "com1", "Componentes", 21);

    ASSERT_EQ(tree.Count(), 5);
    EXPECT_EQ(tree.Node(4).key, "k2");
    EXPECT_EQ(tree.Node(5).parent, 2);
    EXPECT_EQ(tree.Find("com1"), 5);
    EXPECT_EQ(tree.Find("nope"), 0);
    EXPECT_EQ(tree.Children(2), (QList<int>{3, 5})) << "a new node is its parent's last child";
    EXPECT_EQ(tree.Children(0), QList<int>{1});
    EXPECT_EQ(tree.RowOf(5), 1);
}

TEST(MemoryTree, RefusesADuplicateKeyAMissingParentAndABadPosition)
{
    MemoryTree tree;
    tree.Add({}, "root", "Sistemas", 7);
    EXPECT_EQ(errorNumberOf([&] { tree.Add({}, "root", "again", 7); }), ErrorNumbers::KeyNotUnique);
    EXPECT_EQ(errorNumberOf([&] { tree.Add("missing", "k1", "x", 7); }), ErrorNumbers::ElementNotFound);
    EXPECT_EQ(errorNumberOf([&] { tree.Node(2); }), ErrorNumbers::IndexOutOfBounds);
    EXPECT_EQ(errorNumberOf([&] { tree.Node(0); }), ErrorNumbers::IndexOutOfBounds);
    EXPECT_EQ(tree.Count(), 1) << "a refused node is not added";
}

TEST(MemoryTree, CheckStateFromCodeRaisesNoEventAndTheUsersToggleRaisesOneAfterTheChange)
{
    MemoryTree tree;
    tree.Add({}, "root", "Sistemas", 7);
    QList<std::pair<int, bool>> events;
    tree.NodeCheck = [&](int position) { events.append({position, tree.Node(position).checked}); };

    tree.SetChecked(1, true);
    EXPECT_TRUE(tree.Node(1).checked);
    EXPECT_TRUE(events.isEmpty());

    tree.ToggleByUser(1);
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0], std::make_pair(1, false)) << "the event sees the new state";
}

TEST(MemoryTree, EnsureVisibleExpandsAncestorsOnly)
{
    MemoryTree tree;
    tree.Add({}, "root", "Sistemas", 7);
    tree.Add("root", "k1", "A", 7);
    tree.Add("k1", "dll1", "Referencias", 20);
    tree.Add("dll1", "fileREFDLL0", "x.tlb", 20);
    tree.EnsureVisible(4);
    EXPECT_TRUE(tree.Node(1).expanded);
    EXPECT_TRUE(tree.Node(2).expanded);
    EXPECT_TRUE(tree.Node(3).expanded);
    EXPECT_FALSE(tree.Node(4).expanded);
}

TEST(MemoryTree, RemovingASubtreeRenumbersTheRestAndFreesItsKeys)
{
    MemoryTree tree;
    tree.Add({}, "a", "A", 7);
    tree.Add("a", "a1", "A1", 7);
    tree.Add({}, "b", "B", 7);
    tree.Add("b", "b1", "B1", 7);
    tree.Add("a", "a2", "A2", 7);
    tree.Remove(1);
    ASSERT_EQ(tree.Count(), 2);
    EXPECT_EQ(tree.Node(1).key, "b");
    EXPECT_EQ(tree.Node(2).parent, 1);
    EXPECT_EQ(tree.Find("b1"), 2);
    EXPECT_EQ(tree.Find("a2"), 0);
    tree.Add({}, "a", "A again", 7);
    EXPECT_EQ(tree.Children(0), (QList<int>{1, 3}));
}

TEST(FileList, ListsMatchingFilesSortedIgnoringCaseWithoutHiddenFilesFoldersOrDevices)
{
    TempPrefix prefix;
    for (const char* name : {"beta.vbp", "Alfa.VBP", "alfa2.vbp", ".oculto.vbp", "notas.txt", "gamma.vbpx", "Zeta.Vbp"})
        prefix.writeFile(QStringLiteral("tmp/") + QLatin1String(name), "Type=Exe\r\n");
    prefix.makeFolder(QStringLiteral("tmp/carpeta.vbp"));
    ASSERT_EQ(mkfifo(prefix.hostPath(QStringLiteral("tmp/tuberia.vbp")).toLocal8Bit().constData(), 0600), 0);

    FileList list;
    list.SetPath(QStringLiteral("C:\\TMP\\"));
    EXPECT_EQ(list.Path(), QStringLiteral("C:\\TMP"));
    QStringList names;
    for (int i = 0; i < list.ListCount(); ++i)
        names.append(list.List(i));
    EXPECT_EQ(names, (QStringList{"Alfa.VBP", "alfa2.vbp", "beta.vbp", "Zeta.Vbp"}));
    EXPECT_EQ(errorNumberOf([&] { list.List(4); }), ErrorNumbers::InvalidPropertyValue);

    prefix.writeFile(QStringLiteral("tmp/nuevo.vbp"), "");
    EXPECT_EQ(list.ListCount(), 4);
    list.Refresh();
    EXPECT_EQ(list.ListCount(), 5) << "a refresh lists the folder afresh";
}

TEST(FileList, AFolderThatCannotBeListedRaisesInsteadOfListingNothing)
{
    TempPrefix prefix;
    prefix.writeFile(QStringLiteral("cerrada/a.vbp"), "");
    FileList list;
    list.SetPath(QStringLiteral("c:\\cerrada"));
    ASSERT_EQ(list.ListCount(), 1);
    {
        UnlistableFolder closed(prefix.hostPath(QStringLiteral("cerrada")));
        ASSERT_TRUE(closed.unlistable());
        EXPECT_EQ(errorNumberOf([&] { list.Refresh(); }), ErrorNumbers::PathFileAccessError);
        EXPECT_EQ(list.ListCount(), 0) << "nothing of the earlier listing stays";
        FileList other;
        EXPECT_EQ(errorNumberOf([&] { other.SetPath(QStringLiteral("c:\\cerrada\\")); }),
                  ErrorNumbers::PathFileAccessError);
    }
    list.Refresh();
    EXPECT_EQ(list.ListCount(), 1);
}

TEST(FolderList, RaisesPathNotFoundAndSignalsOnlyRealChanges)
{
    TempPrefix prefix;
    prefix.makeFolder(QStringLiteral("tmp"));
    FolderList folders;
    int changes = 0;
    folders.Change = [&] { ++changes; };

    EXPECT_EQ(errorNumberOf([&] { folders.SetPath(QStringLiteral("c:\\no\\existe\\")); }), ErrorNumbers::PathNotFound);
    EXPECT_EQ(changes, 0);
    folders.SetPath(QStringLiteral("c:\\tmp\\"));
    folders.SetPath(QStringLiteral("c:\\tmp"));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(folders.Path(), QStringLiteral("c:\\tmp"));
    folders.SetPath(QStringLiteral("c:"));
    EXPECT_EQ(folders.Path(), QStringLiteral("c:\\")) << "a drive's root keeps its backslash";
    EXPECT_EQ(changes, 2);

    prefix.writeFile(QStringLiteral("fichero"), "");
    EXPECT_EQ(errorNumberOf([&] { folders.SetPath(QStringLiteral("c:\\fichero")); }), ErrorNumbers::PathNotFound)
        << "a file is not a folder";
}

TEST(MainControls, TheFolderListCarriesTheFileListAlong)
{
    TempPrefix prefix;
    prefix.writeFile(QStringLiteral("uno/a.vbp"), "");
    prefix.writeFile(QStringLiteral("dos/b.vbp"), "");
    prefix.writeFile(QStringLiteral("dos/c.vbp"), "");
    MemoryControls controls;
    controls.main.Dir1.SetPath(QStringLiteral("c:\\uno\\"));
    EXPECT_EQ(controls.main.File1.ListCount(), 1);
    controls.main.Dir1.SetPath(QStringLiteral("c:\\dos"));
    EXPECT_EQ(controls.main.File1.Path(), QStringLiteral("c:\\dos"));
    EXPECT_EQ(controls.main.File1.ListCount(), 2);
}
