#include "UndeletedList.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace MW::Client {
namespace {

using Entries = std::vector<std::string>;

TEST(UndeletedList, SkipsEmptyLinesAcceptsBothLineEndsAndSorts) {
    MW::Test::TempDir dir;
    const std::string file = dir / "undeleted.tmp";
    MW::Test::writeFile(file, "/d/zeta.bak\r\n\r\n/d/alpha.dwl\n\n/d/Beta.sv$\r\n/d/mid.bak");

    EXPECT_EQ(ReadUndeletedList(file),
              (Entries{"/d/alpha.dwl", "/d/Beta.sv$", "/d/mid.bak", "/d/zeta.bak"}));
}

TEST(UndeletedList, EachByteIsOneCharacterAndInnerCarriageReturnsStay) {
    MW::Test::TempDir dir;
    const std::string file = dir / "undeleted.tmp";
    MW::Test::writeFile(file, "/d/caf\xe9.bak\r\n/d/a\rb.bak\n");

    const Entries entries = ReadUndeletedList(file);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], "/d/a\rb.bak");
    EXPECT_EQ(entries[1], "/d/caf\xc3\xa9.bak");
}

TEST(UndeletedList, SortedAsTheCharactersFoldWithTiesByTheExactText) {
    MW::Test::TempDir dir;
    const std::string file = dir / "undeleted.tmp";
    // Latin-1 bytes: "\xc9" is E with acute, "\xe9" its small letter, "\xb5" the
    // micro sign (it folds to the Greek mu, after every Latin-1 letter).
    MW::Test::writeFile(file, "/d/\xe9t\xe9\n/d/\xb5m\n/d/\xc9T\xc9\n/d/B\n/d/a\n/d/A\n/d/zz\n");
    EXPECT_EQ(ReadUndeletedList(file),
              (Entries{"/d/A", "/d/a", "/d/B", "/d/zz", "/d/\xc3\x89T\xc3\x89",
                       "/d/\xc3\xa9t\xc3\xa9", "/d/\xc2\xb5m"}));
}

TEST(UndeletedList, LinesUpToPathMaxStayWhole) {
    MW::Test::TempDir dir;
    const std::string file = dir / "undeleted.tmp";
    const std::string longPath = "/d/" + std::string(4093, 'x');
    MW::Test::writeFile(file, longPath + "\r\n/d/short.bak\r\n" + std::string(259, 'y') + "\r\n");

    const Entries entries = ReadUndeletedList(file);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], "/d/short.bak");
    EXPECT_EQ(entries[1], longPath);
    EXPECT_EQ(entries[2], std::string(259, 'y'));
}

TEST(UndeletedList, MissingOrUnreadableFileGivesEmptyList) {
    MW::Test::TempDir dir;
    EXPECT_TRUE(ReadUndeletedList(dir / "absent.tmp").empty());
    EXPECT_TRUE(ReadUndeletedList(dir.path()).empty());
    EXPECT_TRUE(ReadUndeletedList("").empty());
    MW::Test::writeFile(dir / "empty.tmp", "");
    EXPECT_TRUE(ReadUndeletedList(dir / "empty.tmp").empty());
}

TEST(UndeletedList, AFolderNamedOutsideAsciiIsFound) {
    MW::Test::TempDir dir;
    const std::string folder = dir / "Pl\xc3\xa4ne \xe6\x96\x87";
    MW::Test::makeFolder(folder);
    const std::string file = folder + MW::Test::kSeparator + "undeleted.tmp";
    MW::Test::writeFile(file, "/d/x.bak\n");
    EXPECT_EQ(ReadUndeletedList(file), Entries{"/d/x.bak"});
}

// A line past PATH_MAX (one of megabytes, across many reads) is cut there, its
// CR LF still recognised, and the lines after it are read as they are.
TEST(UndeletedList, LongerLinesAreCutAtPathMax) {
    MW::Test::TempDir dir;
    const std::string file = dir / "undeleted.tmp";
    const std::size_t max = kMaxUndeletedLineBytes;
    MW::Test::writeFile(file, std::string(10 * 1024 * 1024, 'a') + "\r\n" +
                                  std::string(max, 'b') + "\r\n" + std::string(max + 1, 'c') +
                                  "\r\n" + std::string(max - 1, 'd') + "\r\r\n/e.bak");
    std::vector<std::string> lines;
    EXPECT_TRUE(ForEachUndeletedLine(file, [&](std::string_view l) { lines.emplace_back(l); }));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], std::string(max, 'a'));
    EXPECT_EQ(lines[1], std::string(max, 'b'));
    EXPECT_EQ(lines[2], std::string(max, 'c'));
    EXPECT_EQ(lines[3], std::string(max - 1, 'd') + "\r"); // an inner CR stays
    EXPECT_EQ(lines[4], "/e.bak");
    EXPECT_FALSE(ForEachUndeletedLine(dir / "absent.tmp", [](std::string_view) {}));
}

// Only the entries that sort first are kept; the others are counted, so that
// the dialog can say how many it leaves out.
TEST(UndeletedList, ABoundedReadKeepsTheFirstInSortOrderAndCountsTheRest) {
    MW::Test::TempDir dir;
    const std::string file = dir / "undeleted.tmp";
    std::string text;
    for (int i = 9; i >= 0; --i)
        text += "/d/" + std::to_string((i * 7) % 10) + (i % 2 ? ".BAK\n" : ".bak\r\n") + "\n";
    text += "/d/\xc4.bak\n"; // sorts after the digits, as \xe4 does
    MW::Test::writeFile(file, text);

    const SUndeletedEntries three = ReadUndeletedEntries(file, 3);
    EXPECT_EQ(three.entries, (Entries{"/d/0.bak", "/d/1.BAK", "/d/2.bak"}));
    EXPECT_EQ(three.more, 8u);
    const SUndeletedEntries all = ReadUndeletedEntries(file);
    EXPECT_EQ(all.entries, ReadUndeletedList(file));
    EXPECT_EQ(all.more, 0u);
    EXPECT_EQ(all.entries.back(), "/d/\xc3\x84.bak");
    const SUndeletedEntries none = ReadUndeletedEntries(file, 0);
    EXPECT_TRUE(none.entries.empty());
    EXPECT_EQ(none.more, 11u);
}

} // namespace
} // namespace MW::Client
