#include "catalogue/Catalogue.h"
#include "catalogue/FolderScan.h"
#include "catalogue/LoadContext.h"
#include "platform/controls/MemoryControls.h"
#include "platform/core/EventLoop.h"
#include "platform/desktop/MessageBoxes.h"
#include "support_files/TempPrefix.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

// A load of c:\tmp as the main window runs it, with the controls in memory.
struct Load {
    MemoryControls controls;
    Catalogue catalogue;
    ScriptedMessageBoxes messages;
    QStringList panel1, panel3;

    Load()
    {
        controls.statusBar.Changed = [this](int panel, const QString& text) {
            (panel == 1 ? panel1 : panel3).append(text);
        };
    }
    void run(const QString& folder = "c:\\tmp\\")
    {
        controls.main.Dir1.SetPath(folder);
        controls.main.File1.Refresh();
        CargaProyectos(catalogue, controls.main);
    }
    QStringList keys() const
    {
        QStringList result;
        for (int p = 1; p <= controls.tree.Count(); ++p)
            result.append(controls.tree.Node(p).key);
        return result;
    }
};

}

TEST(FolderScan, AnEmptyFolderShowsTheMessageAndLeavesNoRoot)
{
    TempPrefix prefix;
    prefix.writeFile("tmp/notas.txt", "Type=Exe");
    Load load;
    load.controls.tree.Add({}, "old", "from a previous load", 7);
    load.run();

    EXPECT_EQ(load.messages.texts(), QStringList{"No hay proyectos en la ruta especificada."});
    EXPECT_EQ(load.messages.shown()[0].icon(), MsgStyle::Critical);
    EXPECT_EQ(load.controls.tree.Count(), 0);
    EXPECT_EQ(load.catalogue.ProjectCount(), 0);
    EXPECT_EQ(load.controls.statusBar.PanelText(1), "Listo!");
    EXPECT_EQ(load.controls.statusBar.PanelText(3), "");
    EXPECT_FALSE(load.controls.progressBar.Visible());
}

TEST(FolderScan, BuildsProjectNodesInFileNameOrderWithTheirTexts)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/Proyecto1.vbp", {"Type=Exe", "Name=\"Proyecto1\""});
    prefix.writeLines("tmp/anonimo.vbp", {"Type=Control"});
    prefix.writeLines("tmp/Beta.VBP", {"Name=\"Beta\"", "Type=OleExe"});
    Load load;
    load.run();

    EXPECT_TRUE(load.messages.shown().isEmpty());
    EXPECT_EQ(load.keys(), (QStringList{"root", "k1", "k2", "k3"}));
    const MemoryTree& tree = load.controls.tree;
    EXPECT_EQ(tree.Node(1).text, "Sistemas");
    EXPECT_EQ(tree.Node(2).text, " (c:\\tmp\\anonimo.vbp)") << "no Name line: empty name and the full path";
    EXPECT_EQ(tree.Node(3).text, "Beta (Beta.VBP)");
    EXPECT_EQ(tree.Node(4).text, "Proyecto1 (Proyecto1.vbp)");
    for (int p = 1; p <= 4; ++p) {
        EXPECT_EQ(tree.Node(p).image, TreeImages::Project);
        EXPECT_FALSE(tree.Node(p).checked);
    }
    EXPECT_TRUE(tree.Node(1).expanded) << "project nodes are made visible";

    ASSERT_EQ(load.catalogue.ProjectCount(), 3);
    EXPECT_EQ(load.catalogue.Projects[1].Kind, ProjectKind::Control);
    EXPECT_EQ(load.catalogue.Projects[2].Kind, ProjectKind::OleExe);
    EXPECT_EQ(load.catalogue.Projects[3].FileName, "Proyecto1.vbp");
    EXPECT_EQ(load.catalogue.DependencyCount(3), 0);
}

TEST(FolderScan, ReportsEachFileAndItsProgressThenListo)
{
    TempPrefix prefix;
    for (int i = 1; i <= 12; ++i)
        prefix.writeLines(QStringLiteral("tmp/p%1.vbp").arg(i, 2, 10, QChar(u'0')), {"Type=Exe"});
    Load load;
    const long long turnsBefore = DoEventsTurns();
    load.run();

    EXPECT_EQ(DoEventsTurns() - turnsBefore, 12) << "one turn of the event loop per file";
    QStringList expected3;
    for (int n = 1; n <= 12; ++n)
        expected3.append(QStringLiteral("%1 de 12").arg(n));
    expected3.append("");
    EXPECT_EQ(load.panel3, expected3);
    EXPECT_EQ(load.panel1.first(), "p01.vbp");
    EXPECT_EQ(load.panel1.last(), "Listo!");
    EXPECT_EQ(load.controls.progressBar.Min(), 1);
    EXPECT_EQ(load.controls.progressBar.Max(), 12);
    EXPECT_EQ(load.controls.progressBar.Value(), 12);
    EXPECT_FALSE(load.controls.progressBar.Visible());
}

TEST(FolderScan, AFileThatVanishesAfterListingIsReportedAndTheLoadGoesOn)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/a.vbp", {"Name=\"A\""});
    prefix.writeLines("tmp/b.vbp", {"Name=\"B\""});
    prefix.writeLines("tmp/c.vbp", {"Name=\"C\""});
    Load load;
    load.controls.main.Dir1.SetPath("c:\\tmp");
    QFile::remove(prefix.hostPath("tmp/b.vbp"));
    CargaProyectos(load.catalogue, load.controls.main);

    EXPECT_EQ(load.messages.texts(), QStringList{"DeterminaTipoDeProyecto : 53 File not found"});
    ASSERT_EQ(load.controls.tree.Count(), 4);
    EXPECT_EQ(load.controls.tree.Node(3).text, " (c:\\tmp\\b.vbp)");
    EXPECT_EQ(load.controls.tree.Node(4).text, "C (c.vbp)");
}

TEST(FolderScan, AReloadRebuildsTheSameTreeAndClearsTheCheckMarks)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/a.vbp", {"Name=\"A\""});
    prefix.writeLines("tmp/b.vbp", {"Name=\"B\""});
    Load load;
    load.run();
    const QStringList first = load.keys();
    load.controls.tree.SetChecked(2, true);
    load.run();
    EXPECT_EQ(load.keys(), first);
    EXPECT_FALSE(load.controls.tree.Node(2).checked);
    EXPECT_EQ(load.catalogue.ProjectCount(), 2);
}

TEST(FolderScan, AProjectAtADrivesRootGetsOneBackslash)
{
    TempPrefix prefix;
    prefix.writeLines("raiz.vbp", {"Type=Exe"});
    Load load;
    load.run("c:\\");
    ASSERT_EQ(load.controls.tree.Count(), 2);
    EXPECT_EQ(load.controls.tree.Node(2).text, " (c:\\raiz.vbp)");
}

TEST(FolderScan, LoadsAFolderOfTenThousandFiles)
{
    TempPrefix prefix;
    for (int i = 0; i < 10000; ++i)
        prefix.writeFile(QStringLiteral("tmp/p%1.vbp").arg(i, 5, 10, QChar(u'0')), "Type=Exe\r\nName=\"P\"\r\n");
    Load load;
    load.run();
    EXPECT_EQ(load.catalogue.ProjectCount(), 10000);
    EXPECT_EQ(load.controls.tree.Count(), 10001);
    EXPECT_EQ(load.controls.tree.Node(10001).key, "k10000");
    EXPECT_EQ(load.controls.tree.Node(10001).text, "P (p09999.vbp)");
}

TEST(FolderScan, MemoryRunningOutMidLoadEndsItWithOutOfMemoryAndKeepsTheProgramGoing)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Name=\"a\"",
                                    "Reference=*\\G{00000000-0000-0000-0000-000000000001}#1.0#0#c:\\no\\x.tlb#Falta"});
    prefix.writeLines("tmp/b.vbp", {"Type=Exe", "Name=\"b\""});
    prefix.writeLines("tmp/c.vbp", {"Type=Exe", "Name=\"c\""});
    Load load;
    load.controls.main.Dir1.SetPath("c:\\tmp\\");
    load.controls.main.File1.Refresh();
    // The second project's first status text is where an allocation fails.
    LoadContext context;
    context.recordLines = true;
    load.controls.statusBar.Changed = [&context](int panel, const QString& text) {
        if (panel == 3 && text == "2 de 3") {
            EXPECT_EQ(context.recordedLines.size(), 1u) << "the first project's line is recorded";
            throw std::bad_alloc();
        }
    };

    EXPECT_FALSE(LoadListedProjects(load.catalogue, load.controls.main, context));
    EXPECT_EQ(load.messages.texts(), QStringList{"Carga : Out of memory"});
    EXPECT_EQ(load.messages.shown()[0].icon(), MsgStyle::Critical);
    EXPECT_EQ(load.controls.statusBar.PanelText(1), "Listo!");
    EXPECT_FALSE(load.controls.progressBar.Visible());
    EXPECT_TRUE(context.recordedLines.empty()) << "the load's memory is given back";
    EXPECT_FALSE(context.recordLines);
    EXPECT_EQ(load.keys(), (QStringList{"root", "k1"})) << "what was built before stays";

    load.controls.statusBar.Changed = nullptr;
    LoadContext next;
    EXPECT_TRUE(LoadListedProjects(load.catalogue, load.controls.main, next)) << "the next load runs whole";
    EXPECT_EQ(load.keys(), (QStringList{"root", "k1", "k2", "k3"}));
}
