#include "catalogue/Catalogue.h"

#include <gtest/gtest.h>

namespace {

DependencyEntry dependency(DependencyKind kind, const QString& path = QString())
{
    DependencyEntry entry;
    entry.Kind = kind;
    entry.FilePath = path;
    return entry;
}

}

TEST(Catalogue, DependencyKeysCountPerKindAndSurviveAReset)
{
    Catalogue catalogue;
    catalogue.AppendProject(1);
    int counter = 1;
    catalogue.AppendDependency(1, counter, dependency(DependencyKind::Reference, "C:\\a.tlb"));
    catalogue.AppendDependency(1, counter, dependency(DependencyKind::Component, "C:\\b.ocx"));
    catalogue.AppendDependency(1, counter, dependency(DependencyKind::Reference, "C:\\c.tlb"));
    EXPECT_EQ(counter, 4);
    ASSERT_EQ(catalogue.DependencyCount(1), 3);
    EXPECT_EQ(catalogue.Projects[1].Dependencies[1].Key, "REFDLL0");
    EXPECT_EQ(catalogue.Projects[1].Dependencies[2].Key, "REFOCX0");
    EXPECT_EQ(catalogue.Projects[1].Dependencies[3].Key, "REFDLL1");
    EXPECT_TRUE(catalogue.Projects[1].Dependencies[0].Key.isEmpty()) << "element 0 is never used";

    catalogue.Reset();
    EXPECT_EQ(catalogue.ProjectCount(), 0);
    catalogue.AppendProject(1);
    counter = 1;
    catalogue.AppendDependency(1, counter, dependency(DependencyKind::Reference));
    EXPECT_EQ(catalogue.Projects[1].Dependencies[1].Key, "REFDLL2") << "keys never repeat within a run";
}

TEST(Catalogue, KeysKeepTheirFormPast32767)
{
    Catalogue catalogue;
    catalogue.ReferenceKeyCounter = 32767;
    catalogue.AppendProject(1);
    int counter = 1;
    catalogue.AppendDependency(1, counter, dependency(DependencyKind::Reference));
    catalogue.AppendDependency(1, counter, dependency(DependencyKind::Reference));
    EXPECT_EQ(catalogue.Projects[1].Dependencies[2].Key, "REFDLL32768");
}
