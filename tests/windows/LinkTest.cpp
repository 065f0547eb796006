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
    // A link to a folder counts as a folder: neither removed nor listed. Under Wine a
    // handle opened on a link to a file is its target's, so that link cannot be
    // deleted as itself (Windows deletes it so): it stays and is listed.
    EXPECT_TRUE(exists(root + "\\folder.bak"));
    EXPECT_TRUE(exists(root + "\\link.bak"));
    EXPECT_TRUE(exists(root + "\\elsewhere"));
    EXPECT_EQ(fromTextLines(undeletedList()), lowered(root) + "\\link.bak\n");

    // A root that is itself a link is not listed, and the log says why.
    const std::size_t before = logLines().size();
    runPass(tree + "\\rootlink", ".bak");
    EXPECT_EQ(logLines().size(), before + 2);
    EXPECT_EQ(logLines().back(),
              "Folder not scanned: " + tree + "\\rootlink (a symbolic link, not followed)");
}

} // namespace
} // namespace MW::Test
