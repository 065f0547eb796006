// The walk and links on Windows, with the Linux symbolic links Wine turns into
// reparse points, laid out by make-link-tree.sh before the test (MW_LINK_TREE).

#include "CleanerFixture.h"

#include <cstdlib>

namespace MW::Test {
namespace {

TEST_F(CleanerTest, WindowsPassNeverEntersReparsePointsAndRemovesOnlyTheLinks) {
    const char* variable = std::getenv("MW_LINK_TREE");
    if (!variable || !*variable)
        GTEST_SKIP() << "MW_LINK_TREE is not set: ctest lays the tree out";
    const std::string tree = native(variable);
    const std::string root = tree + "\\root";
    const std::string outside = tree + "\\outside";
    ASSERT_TRUE(exists(root + "\\folder.bak")) << "the tree was not laid out";

    runPass(root, ".bak");

    // Nothing behind a link is touched or even listed.
    EXPECT_TRUE(exists(outside + "\\a.bak"));
    EXPECT_TRUE(exists(outside + "\\inner\\b.bak"));
    EXPECT_EQ(countLines("Scanning !"), 2u); // root and root\sub
    EXPECT_EQ(countLines("Scanning !" + root + "\\sub"), 1u);
    EXPECT_FALSE(exists(root + "\\own.bak"));
    EXPECT_FALSE(exists(root + "\\sub\\deep.bak"));
    EXPECT_EQ(countLines("File has been deleted: "), 2u);
    // Under Wine a handle opened on a link is its target's, so the links cannot be
    // deleted as themselves (Windows deletes them so): they stay and are listed.
    EXPECT_TRUE(exists(root + "\\folder.bak"));
    EXPECT_TRUE(exists(root + "\\link.bak"));
    EXPECT_TRUE(exists(root + "\\elsewhere"));
    const std::string listed = lowered(root);
    const std::string list = fromTextLines(undeletedList());
    EXPECT_TRUE(list == listed + "\\folder.bak\n" + listed + "\\link.bak\n" ||
                list == listed + "\\link.bak\n" + listed + "\\folder.bak\n")
        << list;

    // A root that is itself a link is not listed.
    const std::size_t before = logLines().size();
    runPass(tree + "\\rootlink", ".bak");
    EXPECT_EQ(logLines().size(), before + 1);
    EXPECT_EQ(logLines().back(), "Scanning !" + tree + "\\rootlink");
}

} // namespace
} // namespace MW::Test
