// The texts of the clients' rules: megabytes, the FileTypes text and its type
// words, typed port numbers and trimmed input.

#include "FileTypes.h"
#include "Formatting.h"
#include "TempDir.h"

#include <array>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace MW::Client {
namespace {

TEST(FormatMegabytes, TwoDecimalsFullStopNoGrouping) {
    EXPECT_EQ(FormatMegabytes(0), "0.00");
    EXPECT_EQ(FormatMegabytes(5'242'879), "5.00"); // just under 5 MB rounds up
    EXPECT_EQ(FormatMegabytes(10'485'760), "10.00");
    EXPECT_EQ(FormatMegabytes(1'572'864), "1.50");
    EXPECT_EQ(FormatMegabytes(1'073'741'824), "1024.00");
    EXPECT_EQ(FormatMegabytes(5232), "0.00");
    EXPECT_EQ(FormatMegabytes(5243), "0.01");
    EXPECT_EQ(FormatMegabytes(5'000'000'000ull), "4768.37");
    EXPECT_EQ(FormatMegabytes(1'000'000'000'000ull), "953674.32");
}

TEST(FormatMegabytes, BeyondTwoToTheFiftyThirdWithADoublesPrecision) {
    // 2^53 + 1 bytes is not a double; the text is that of the nearest double.
    EXPECT_EQ(FormatMegabytes((1ull << 53) + 1), "8589934592.00");
    EXPECT_EQ(FormatMegabytes(1ull << 60), "1099511627776.00");
    EXPECT_EQ(FormatMegabytes(~0ull), "17592186044416.00");
}

// A locale with a decimal comma for the C library, as a program with a toolkit
// takes the user's; false when the system cannot give one.
bool useDecimalComma(const MW::Test::TempDir& scratch) {
#ifdef _WIN32
    (void)scratch;
    return std::setlocale(LC_NUMERIC, "German_Germany.1252") != nullptr;
#else
    // Compiled into a folder of the test's own, so no installed locale is needed.
    const std::string command = "localedef -i de_DE -f UTF-8 '" + (scratch / "de_DE.UTF-8") +
                                "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 && !MW::Test::exists(scratch / "de_DE.UTF-8"))
        return false;
    ::setenv("LOCPATH", scratch.path().c_str(), 1);
    const bool set = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    ::unsetenv("LOCPATH");
    return set;
#endif
}

TEST(FormatMegabytes, AFullStopWhateverTheProgramsLocale) {
    MW::Test::TempDir scratch;
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_TRUE(useDecimalComma(scratch));
    std::array<char, 16> printed{};
    std::snprintf(printed.data(), printed.size(), "%.2f", 1.5);
    const std::string text = FormatMegabytes(1'572'864);
    std::setlocale(LC_NUMERIC, before.c_str());
    ASSERT_STREQ(printed.data(), "1,50") << "the locale has no decimal comma";
    EXPECT_EQ(text, "1.50");
}

TEST(FileTypesText, BuiltInTableOrderWithSingleCommas) {
    FileTypeFlags all;
    all.fill(true);
    EXPECT_EQ(BuildFileTypes(all), ".bak,.dwl,.dwl2,.ac$,.sv$,.bpn,.rvt,.rfa,.skb,.fzb");
    EXPECT_EQ(BuildFileTypes({}), "");
    FileTypeFlags two{};
    two[1] = two[9] = true;
    EXPECT_EQ(BuildFileTypes(two), ".dwl,.fzb");
    FileTypeFlags three{};
    three[0] = three[2] = three[6] = true;
    EXPECT_EQ(BuildFileTypes(three), ".bak,.dwl2,.rvt");
}

TEST(FileTypesText, ReadBackByCaseSensitiveSubstring) {
    auto checked = [](const std::string& text) {
        std::string items;
        const FileTypeFlags flags = ApplyFileTypes(text);
        for (std::size_t i = 0; i < kFileTypeCount; ++i)
            if (flags[i])
                items += (items.empty() ? "" : " ") + std::string(FileTypeBoxes()[i].item);
        return items;
    };
    EXPECT_EQ(checked(".dwl2"), ".dwl .dwl2");
    EXPECT_EQ(BuildFileTypes(ApplyFileTypes(".dwl2")), ".dwl,.dwl2");
    EXPECT_EQ(checked("*.rvt"), ".rvt");
    EXPECT_EQ(checked("xx.bak.old"), ".bak");
    EXPECT_EQ(checked(".BAK"), "");
    EXPECT_EQ(checked(".bak,.dwl,.dwl2,.ac$,.sv$,.bpn,.rvt,.rfa,.skb,.fzb"),
              ".bak .dwl .dwl2 .ac$ .sv$ .bpn .rvt .rfa .skb .fzb");
    EXPECT_EQ(checked(""), "");
}

TEST(FileTypesText, TypeWordsBecomeTheConfiguratorsText) {
    std::string unknown;
    EXPECT_EQ(NormaliseFileTypes(".fzb,bak,*.0*.RVT,.dwl2,.bak", &unknown), ".bak,.dwl2,.rvt,.fzb");
    EXPECT_EQ(NormaliseFileTypes(".bak,.dwl,.dwl2,.ac$,.sv$,.bpn,.rvt,.rfa,.skb,.fzb", nullptr),
              ".bak,.dwl,.dwl2,.ac$,.sv$,.bpn,.rvt,.rfa,.skb,.fzb");
    EXPECT_EQ(NormaliseFileTypes("", nullptr), "");
    EXPECT_EQ(NormaliseFileTypes(" .sv$ ,, ac$ ", nullptr), ".ac$,.sv$");
    EXPECT_FALSE(NormaliseFileTypes(".bak,.tmp", &unknown));
    EXPECT_EQ(unknown, ".tmp");
    EXPECT_FALSE(NormaliseFileTypes(".dw", &unknown));
    EXPECT_FALSE(NormaliseFileTypes("\xc3\x84.bak", &unknown));
}

TEST(LeadingInteger, DigitsAfterBlanksAndSignElseZero) {
    EXPECT_EQ(LeadingInteger("3128"), 3128);
    EXPECT_EQ(LeadingInteger("  8080abc"), 8080);
    EXPECT_EQ(LeadingInteger("\xc2\xa0" "81"), 81); // a no-break space is a blank too
    EXPECT_EQ(LeadingInteger("-12"), -12);
    EXPECT_EQ(LeadingInteger("+7"), 7);
    EXPECT_EQ(LeadingInteger(""), 0);
    EXPECT_EQ(LeadingInteger("port"), 0);
    EXPECT_EQ(LeadingInteger("99999999999999999999"), 2147483647);
}

TEST(TrimmedText, WhiteSpaceOfEveryKindGoesFromBothEndsOnly) {
    EXPECT_EQ(TrimmedText("  a b\t"), "a b");
    EXPECT_EQ(TrimmedText("\n\r\v\f"), "");
    // U+00A0, U+2003, U+3000 and U+2029 around, U+200B (not white space) kept.
    EXPECT_EQ(TrimmedText("\xc2\xa0\xe2\x80\x83x\xe2\x80\x8by\xe3\x80\x80\xe2\x80\xa9"),
              "x\xe2\x80\x8by");
    // A character that merely ends in a byte of a space is not one.
    EXPECT_EQ(TrimmedText("\xc3\xa0"), "\xc3\xa0");
    EXPECT_EQ(TrimmedText("caf\xc3\xa9 "), "caf\xc3\xa9");
}

} // namespace
} // namespace MW::Client
