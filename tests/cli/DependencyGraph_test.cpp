#include "support_files/FixtureLibraries.h"
#include "support_files/TempPrefix.h"
#include "support_files/WineRegistryText.h"

#include <gtest/gtest.h>

namespace {

QString ref(const QString& guid, const QString& version, const QString& path, const QString& name)
{
    return "Reference=*\\G" + guid + "#" + version + "#0#" + path + "#" + name;
}

}

// The graph of a small folder, byte for byte: a project named with quotes and one without a Name,
// a library both use (one node, one edge from each), a component, a reference to a loaded project
// (written twice, drawn once), to a project file outside the load, and to one that does not
// exist, and a missing control both name (one red node with an edge from each).
TEST(DependencyGraph, ASmallFolderIsDrawnExactly)
{
    TempPrefix prefix;
    prefix.writeFile("windows/system32/facturacion32.dll", FixtureLibraries::Bytes("facturacion32.dll"));
    prefix.writeFile("windows/system32/controles32.ocx", FixtureLibraries::Bytes("controles32.ocx"));
    WineRegistryText registry;
    registry.typeLib(FixtureLibraries::Facturacion, "1.0", "0", "C:\\windows\\system32\\facturacion32.dll", "Facturacion")
        .typeLib(FixtureLibraries::Controles, "3.0", "0", "C:\\windows\\system32\\controles32.ocx", "Controles");
    registry.writeTo(prefix);
    const QString missingControl = "Object={99999999-2222-3333-4444-555555555555}#1.0#0; x.ocx";
    prefix.writeLines("src/a.vbp", {"Type=Exe", "Name=\"Al \\\"fa\\\"\"", ref(FixtureLibraries::Facturacion, "1.0", "", "F"),
                                    "Object=" + FixtureLibraries::Controles + "#3.0#0; controles32.ocx",
                                    "Reference=*\\A.\\b.vbp", "Reference=*\\A..\\otro\\c.vbp",
                                    "Reference=*\\A..\\falta.vbp", missingControl, "Reference=*\\A.\\B.VBP"});
    prefix.writeLines("src/b.vbp", {"Type=OleDll", ref(FixtureLibraries::Facturacion, "1.0", "", "F"), missingControl});
    prefix.writeLines("otro/c.vbp", {"Type=Exe", "Name=\"Gamma\""});

    QByteArray out, err;
    ASSERT_EQ(RunCli({"graph", "c:\\src"}, prefix.root(), &out, &err), 0) << err.constData();
    EXPECT_EQ(out.toStdString(), R"dot(digraph dependencies {
  rankdir=LR;
  graph [fontname="Helvetica", fontsize=11];
  node [fontname="Helvetica", fontsize=10];
  edge [color="#555555"];
  p1 [shape=box, style=filled, fillcolor="#cfe2f3", label="Al \\\"fa\\\"\na.vbp"];
  p2 [shape=box, style=filled, fillcolor="#cfe2f3", label="b.vbp"];
  l1 [shape=ellipse, style=filled, fillcolor="#d9ead3", label="facturacion32.dll\n1.0"];
  l2 [shape=component, style=filled, fillcolor="#fff2cc", label="controles32.ocx\n3.0"];
  x1 [shape=box, style=dashed, label="c.vbp\n(not loaded)"];
  subgraph cluster_missing {
    label="missing";
    color="#cc0000";
    m1 [shape=octagon, color="#cc0000", fontcolor="#cc0000", label="falta.vbp\nproject file missing"];
    m2 [shape=octagon, color="#cc0000", fontcolor="#cc0000", label="x.ocx\nnot registered"];
  }
  p1 -> l1;
  p2 -> l1;
  p1 -> l2;
  p1 -> p2 [style=bold];
  p1 -> x1 [style=bold];
  p1 -> m1 [style=dashed, color="#cc0000"];
  p1 -> m2 [style=dashed, color="#cc0000"];
  p2 -> m2 [style=dashed, color="#cc0000"];
}
)dot");
}
