#include "Text.h"

#include <gtest/gtest.h>

using namespace MW::Common;

TEST(Text, Latin1KeepsTheFirst256CodePointsAndMarksTheRest) {
    EXPECT_EQ(toLatin1("plain"), "plain");
    EXPECT_EQ(toLatin1("caf\xC3\xA9"), "caf\xE9");  // U+00E9
    EXPECT_EQ(toLatin1("\xC3\xBF"), "\xFF");        // U+00FF, the last one kept
    EXPECT_EQ(toLatin1("\xC4\x80"), "?");           // U+0100
    EXPECT_EQ(toLatin1("\xF0\x9F\x98\x80!"), "?!"); // one '?' per code point
    EXPECT_EQ(toLatin1("a\xFF\xFE"
                       "b"),
              "a??b");                          // every invalid byte
    EXPECT_EQ(toLatin1("\xC3"), "?");           // truncated sequence
    EXPECT_EQ(toLatin1("\xE0\x80\x80"), "???"); // overlong form
    EXPECT_EQ(toLatin1("\xED\xA0\x80"), "???"); // encoded surrogate
    EXPECT_EQ(toLatin1(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Text, Utf16RoundTripsIncludingSurrogatePairs) {
    const std::string text = "\xC4\x8A\xC4\x8D-\xF0\x9F\x98\x80"; // U+010A U+010D - U+1F600
    const std::u16string units = utf8ToUtf16(text);
    EXPECT_EQ(units, (std::u16string{0x010A, 0x010D, u'-', 0xD83D, 0xDE00}));
    EXPECT_EQ(utf16ToUtf8(units), text);
    // Lone surrogates and bad bytes become the replacement character.
    EXPECT_EQ(utf16ToUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
    EXPECT_EQ(utf8ToUtf16("\xFF"), std::u16string{0xFFFD});
}

TEST(Text, StrictConversionsRefuseWhatTheLenientOnesPatch) {
    const std::string good = "a\xC4\x8A\xF0\x9F\x98\x80"; // a U+010A U+1F600
    const std::u16string goodUnits{u'a', 0x010A, 0xD83D, 0xDE00};
    EXPECT_EQ(utf8ToUtf16Strict(good), goodUnits);
    EXPECT_EQ(utf16ToUtf8Strict(goodUnits), good);
    EXPECT_EQ(utf8ToUtf16Strict(""), std::u16string());
    // Stray, missing and overlong bytes, surrogates, past U+10FFFF.
    for (const std::string bad : {"\xFF", "a\x80", "\xC3", "\xC0\xAF", "\xE0\x80\x80",
                                  "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
        EXPECT_EQ(utf8ToUtf16Strict(bad), std::nullopt) << bad;
        EXPECT_NE(utf8ToUtf16(bad).find(u'\xFFFD'), std::u16string::npos) << bad;
    }
    for (const std::u16string& bad :
         {std::u16string{0xD800, u'x'}, std::u16string{0xDC00}, std::u16string{u'a', 0xD83D}}) {
        EXPECT_EQ(utf16ToUtf8Strict(bad), std::nullopt);
        EXPECT_NE(utf16ToUtf8(bad).find("\xEF\xBF\xBD"), std::string::npos);
    }
}

TEST(Text, AsciiLowerTouchesOnlyAToZ) {
    EXPECT_EQ(asciiLower("D:/Work/Plan.BAK"), "d:/work/plan.bak");
    EXPECT_EQ(asciiLower("\xC3\x89X"), "\xC3\x89x"); // U+00C9 stays
    std::string text = "ReadMe.BAK";
    asciiLowerInPlace(text);
    EXPECT_EQ(text, "readme.bak");
}

TEST(Text, ControlCharactersAreMarkedAndEverythingElseKept) {
    EXPECT_EQ(withControlsMarked("a\nb\rc\td\x7F"
                                 "e"),
              "a?b?c?d?e");
    EXPECT_EQ(withControlsMarked(std::string("nul\0end", 7)), "nul?end");
    EXPECT_EQ(withControlsMarked("\xC2\x85\xC2\x9F\xC2\xA0"),
              "??\xC2\xA0"); // C1 marked, U+00A0 kept
    EXPECT_EQ(withControlsMarked("caf\xC3\xA9 \xF0\x9F\x98\x80 \xFF"),
              "caf\xC3\xA9 \xF0\x9F\x98\x80 \xFF");
}
