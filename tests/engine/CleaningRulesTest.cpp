#include "CleaningRules.h"

#include "CSettings.h"
#include "OleDate.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace MW::Rules;

namespace {

TEST(CleaningRules, ListsAreLoweredAndTrimmedButNotSplit) {
    EXPECT_EQ(prepareTypeList(" .BAK,.Dwl\t\r\n", ""), ".bak,.dwl");
    EXPECT_EQ(prepareTypeList("", ""), "");
    // A blank, .TMP and a blank typed by the user.
    EXPECT_EQ(prepareTypeList("", " .TMP "), ",.tmp");
    EXPECT_EQ(prepareOtherList(" .TMP "), ".tmp");
    EXPECT_EQ(prepareTypeList(".bak", "tmp"), ".bak,tmp");
    // Unicode spaces at the ends go (U+3000, U+00A0, U+2029); inner ones and
    // non-ASCII letters stay.
    EXPECT_EQ(prepareOtherList("\xE3\x80\x80\xC2\xA0.\xC3\x89 X\xE2\x80\xA9"), ".\xC3\x89 x");
    EXPECT_EQ(trim("\xC2"), "\xC2"); // a stray byte is not white space
    EXPECT_EQ(trim(" \t "), "");
}

TEST(CleaningRules, FileTestTakesTheLastDotOfThePathAndSearchesPlainText) {
    const auto test = [](const char* path, const char* fileTypes, const char* other = "") {
        return fileTest(path, prepareTypeList(fileTypes, other), prepareOtherList(other));
    };
    EXPECT_EQ(test("/w/a.dwl", ".bak,.dwl2"), "/w/a.dwl"); // .dwl occurs inside .dwl2
    EXPECT_EQ(test("/w/a.b", ".bak,.dwl2"), "/w/a.b");
    EXPECT_FALSE(test("/w/a.dwg", ".bak,.dwl2"));
    EXPECT_TRUE(test("/w/x.tmp", "", " .TMP "));
    EXPECT_TRUE(test("/w/x.tmp", "", "*.tmp"));
    EXPECT_FALSE(test("/w/x.tmp", "", "tmp")); // ",tmp" does not hold ".tmp"
    EXPECT_FALSE(test("/w/readme", ".bak"));
    EXPECT_FALSE(test("/w/a.bak/notes", ".bak")); // E = .bak/notes
    EXPECT_EQ(test("/W/Plan.BAK", ".bak"), "/w/plan.bak");
    EXPECT_FALSE(test("/w/a.bak", ""));

    // Backup copies of the two CAD types.
    EXPECT_FALSE(test("/w/house.rvt", ".rvt"));
    EXPECT_EQ(test("/w/HOUSE.0003.RVT", ".rvt"), "/w/house.0003.rvt");
    EXPECT_TRUE(test("/w/rev.0/house.rvt", ".rvt")); // ".0" in a folder name
    EXPECT_TRUE(test("/w/fam.01.rfa", ".rfa"));
    EXPECT_FALSE(test("/w/fam.rfa", ".rvt,.rfa"));
    EXPECT_TRUE(test("/w/house.rvt", ".bak", ".rvt")); // typed by the user: every one
    EXPECT_FALSE(test("/w/house.0001.rvt", ".bak"));   // the type is not chosen at all
}

TEST(CleaningRules, MinimumAgeUsesTheFixedMonthTable) {
    EXPECT_EQ(deleteAgeSpan(MW::eDA_Day, 5), 1);
    EXPECT_EQ(deleteAgeSpan(MW::eDA_Week, 5), 7);
    EXPECT_EQ(deleteAgeSpan(MW::eDA_Year, 5), 365);
    EXPECT_EQ(deleteAgeSpan(MW::eDA_Month, 3), 28);  // February, leap year or not
    EXPECT_EQ(deleteAgeSpan(MW::eDA_3Month, 3), 90); // Feb + Jan + Dec
    EXPECT_EQ(deleteAgeSpan(MW::eDA_6Month, 3), 181);
    EXPECT_EQ(deleteAgeSpan(MW::eDA_Month, 1), 31); // December
    EXPECT_EQ(deleteAgeSpan(MW::eDA_Month, 7), 30);
    EXPECT_EQ(deleteAgeSpan(MW::eDA_3Month, 7), 91);
    EXPECT_EQ(deleteAgeSpan(MW::eDA_6Month, 7), 181);
    EXPECT_EQ(deleteAgeSpan(MW::eDA_None, 7), 0);
    EXPECT_EQ(deleteAgeSpan(7, 7), 0);
    EXPECT_EQ(deleteAgeSpan(-2, 7), 0);

    // Through the settings, in March of a leap year (2024-03-15).
    MW::Clock::setNowForTesting([] { return std::int64_t{1710504000}; });
    MW::CSettings::destroyInstance();
    MW::CSettings* settings = MW::CSettings::getInstance();
    settings->setDeleteAge(MW::eDA_Month);
    EXPECT_EQ(settings->getDeleteAgeSpan(), 28);
    settings->setDeleteAge(7);
    EXPECT_EQ(settings->getDeleteAgeSpan(), 0);
    MW::CSettings::destroyInstance();
    MW::Clock::setNowForTesting(nullptr);
}

TEST(CleaningRules, AgeMustBeStrictlyGreater) {
    // Every 7 seconds of 17 September 1989, OLE day 32768 = 2^15: the days before
    // it have a finer double resolution, so a plain difference of the dates is off
    // by rounding.
    constexpr std::int64_t kDay = (32768 - 25569) * 86400LL;
    for (std::int64_t now = kDay; now < kDay + 86400; now += 7) {
        const double current = MW::OleDate::fromWallSeconds(now);
        const auto ago = [&](std::int64_t seconds) {
            return MW::OleDate::fromWallSeconds(now - seconds);
        };
        ASSERT_FALSE(isOldEnough(ago(86400), current, 1)) << now; // exactly one day
        ASSERT_TRUE(isOldEnough(ago(86401), current, 1)) << now;
        ASSERT_FALSE(isOldEnough(ago(7 * 86400), current, 7)) << now;
        ASSERT_TRUE(isOldEnough(ago(7 * 86400 + 1), current, 7)) << now;
    }
    const double current = MW::OleDate::fromWallSeconds(1710504000);
    EXPECT_FALSE(isOldEnough(current, current, 0));
    EXPECT_TRUE(isOldEnough(current - 1.0 / 86400, current, 0));
    EXPECT_FALSE(isOldEnough(current + 1, current, 0)); // modified in the future
    // Across 30 December 1899, where OLE dates are not linear: -1.25 is 29 December 06:00.
    EXPECT_FALSE(isOldEnough(-1.25, 0.25, 1));
    EXPECT_TRUE(isOldEnough(-1.25, 0.25 + 1.0 / 86400, 1));
    EXPECT_FALSE(isOldEnough(std::nan(""), current, 0));
}

} // namespace
