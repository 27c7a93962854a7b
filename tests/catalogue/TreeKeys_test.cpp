#include "catalogue/TreeKeys.h"

#include <gtest/gtest.h>

TEST(TreeKeys, AProjectKeyGivesBackItsIndexAndNothingElseDoes)
{
    EXPECT_EQ(TreeKeys::Project(12), "k12");
    EXPECT_EQ(TreeKeys::ProjectIndex(TreeKeys::Project(12)), 12);
    EXPECT_EQ(TreeKeys::ProjectIndex(TreeKeys::Project(999999999)), 999999999);
    for (const char* key : {"k", "k1x", "k-1", "k 1", "k1234567890", "root", "dll1", "fileREFDLL1", "K1", ""})
        EXPECT_EQ(TreeKeys::ProjectIndex(QString::fromLatin1(key)), 0) << key;
    // A key beginning with "k" is a project node's, whatever follows: the check-mark rules treat
    // every such node alike.
    EXPECT_TRUE(TreeKeys::IsProject("kx"));
    EXPECT_FALSE(TreeKeys::IsProject(TreeKeys::Root));
    EXPECT_FALSE(TreeKeys::IsProject(TreeKeys::References(1)));
    EXPECT_FALSE(TreeKeys::IsProject(TreeKeys::Components(1)));
    EXPECT_EQ(TreeKeys::Dependency("REFOCX3"), "fileREFOCX3");
}
