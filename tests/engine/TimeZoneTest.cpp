// Local time in a zone with daylight saving. The zone is set through TZ in the
// form both C runtimes read: "EST5EDT" (US Eastern) is a POSIX rule for glibc and
// the Windows runtime's own form.

#include "OleDate.h"
#include "TestPlatform.h"

#include <gtest/gtest.h>

namespace {

using MW::Clock::utcOffsetAt;

constexpr std::int64_t kHour = 3600;
// 2024-03-10 07:00 UTC: 02:00 EST becomes 03:00 EDT.
constexpr std::int64_t kSpringForward = 1710054000;
// 2024-11-03 06:00 UTC: 02:00 EDT becomes 01:00 EST.
constexpr std::int64_t kFallBack = 1730613600;

TEST(TimeZone, OffsetFollowsTheDaylightSavingChanges) {
    const MW::Test::CTimeZone zone("EST5EDT");
    EXPECT_EQ(utcOffsetAt(kSpringForward - 1), -5 * kHour);
    EXPECT_EQ(utcOffsetAt(kSpringForward), -4 * kHour);
    EXPECT_EQ(utcOffsetAt(kFallBack - 1), -4 * kHour);
    EXPECT_EQ(utcOffsetAt(kFallBack), -5 * kHour);
    // Winter and summer of another year, and UTC itself.
    EXPECT_EQ(utcOffsetAt(1704067200), -5 * kHour); // 2024-01-01
    EXPECT_EQ(utcOffsetAt(1688169600), -4 * kHour); // 2023-07-01
    const MW::Test::CTimeZone utc("UTC0");
    EXPECT_EQ(utcOffsetAt(kSpringForward), 0);
}

TEST(TimeZone, FileTimesAreReadWithTheOffsetInForceNow) {
    const MW::Test::CTimeZone zone("EST5EDT");
    const auto at = [](int year, int month, int day, int hour) {
        std::tm tm{};
        tm.tm_year = year - 1900, tm.tm_mon = month - 1, tm.tm_mday = day, tm.tm_hour = hour;
        return MW::OleDate::fromTm(tm);
    };
    // A file written at noon UTC the day after the change, seen on the day before
    // it (EST) and the day after it (EDT): the offset of the present moment counts.
    const std::int64_t written = kSpringForward + 5 * kHour;
    MW::Clock::setNowForTesting([] { return kSpringForward - 12 * kHour; });
    EXPECT_EQ(MW::Clock::nowLocal(), at(2024, 3, 9, 14));
    EXPECT_EQ(MW::Clock::utcToLocalNowOffset(written), at(2024, 3, 10, 7));
    EXPECT_EQ(MW::Clock::localToUtcNowOffset(at(2024, 3, 10, 7)), written);
    MW::Clock::setNowForTesting([] { return kSpringForward + 12 * kHour; });
    EXPECT_EQ(MW::Clock::utcToLocalNowOffset(written), at(2024, 3, 10, 8));
    MW::Clock::setNowForTesting(nullptr);
}

} // namespace
