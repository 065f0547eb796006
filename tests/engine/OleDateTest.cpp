#include "OleDate.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>

using namespace MW::OleDate;

namespace {

std::tm makeTm(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    std::tm tm{};
    tm.tm_year = year - 1900, tm.tm_mon = month - 1, tm.tm_mday = day;
    tm.tm_hour = hour, tm.tm_min = minute, tm.tm_sec = second;
    return tm;
}

TEST(OleDate, ConversionsRoundTrip) {
    EXPECT_EQ(fromTm(makeTm(1899, 12, 30)), 0.0);
    EXPECT_EQ(fromTm(makeTm(1970, 1, 1)), kUnixEpochDay);
    EXPECT_EQ(fromTm(makeTm(2000, 2, 29, 12)), 36585.5);
    EXPECT_EQ(fromTm(makeTm(1899, 12, 29, 6)), -1.25); // time of day kept positive
    const std::tm tm = toTm(fromTm(makeTm(2024, 12, 31, 23, 59, 59)));
    EXPECT_EQ(tm.tm_year + 1900, 2024);
    EXPECT_EQ(tm.tm_mon + 1, 12);
    EXPECT_EQ(tm.tm_mday, 31);
    EXPECT_EQ(tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec, 86399);
    // Whole seconds survive the trip through a double, also before 1900.
    for (std::int64_t s = -2300000000; s < 4200000000; s += 86399 * 37 + 11)
        ASSERT_EQ(toWallSeconds(fromWallSeconds(s)), s);
}

TEST(OleDate, FormatsMonthDayYear) {
    EXPECT_EQ(formatMDY(45366.75), "03/15/24");
    EXPECT_EQ(formatMDY(36526.0), "01/01/00");
    EXPECT_EQ(formatMDY(1e9), "");
    EXPECT_EQ(formatMDY(std::nan("")), "");
}

TEST(OleDate, ParsesTheAcceptedFormsOnly) {
    const double day = fromTm(makeTm(2024, 3, 15));
    const double hm = 13.0 / 24 + 45.0 / 1440;
    EXPECT_EQ(parse("2024-03-15"), day);
    EXPECT_EQ(parse(" 2024-03-15 13:45 "), fromTm(makeTm(2024, 3, 15, 13, 45)));
    EXPECT_EQ(parse("2024-03-15T13:45:30"), fromTm(makeTm(2024, 3, 15, 13, 45, 30)));
    EXPECT_EQ(parse("03/15/2024"), day);
    EXPECT_EQ(parse("03/15/24 08:00"), fromTm(makeTm(2024, 3, 15, 8)));
    EXPECT_EQ(parse("03/15/99"), fromTm(makeTm(1999, 3, 15)));
    EXPECT_EQ(parse("13:45"), hm);
    EXPECT_EQ(parse("2024-02-29"), fromTm(makeTm(2024, 2, 29)));
    for (const char* bad : {"", "  ", "abc", "2023-02-29", "2024-02-30", "2024-13-01", "24:00",
                            "12:60", "2024-03-15x", "03/15/2024 25:00", "03/15/202", "1e5"})
        EXPECT_FALSE(parse(bad)) << bad;
}

#ifndef _WIN32 // zone names the Windows C runtime does not read
// Runs the test in the time zone `zone`, restoring the process's zone after it.
class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        const char* saved = std::getenv("TZ");
        m_bHad = saved != nullptr;
        m_strSaved = saved ? saved : "";
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TimeZone() {
        if (m_bHad)
            ::setenv("TZ", m_strSaved.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
        MW::Clock::setNowForTesting(nullptr);
    }

private:
    bool m_bHad = false;
    std::string m_strSaved;
};

std::int64_t utc(int year, int month, int day, int hour = 0, int minute = 0) {
    return toWallSeconds(fromTm(makeTm(year, month, day, hour, minute)));
}

TEST(Clock, OffsetsAreEastOfUtcAndFollowDaylightSavingTime) {
    {
        const TimeZone berlin("Europe/Berlin");
        EXPECT_EQ(MW::Clock::utcOffsetAt(utc(2021, 1, 15)), 3600);
        EXPECT_EQ(MW::Clock::utcOffsetAt(utc(2021, 7, 15)), 7200);
        // The change on 28 March 2021 at 01:00 UTC.
        EXPECT_EQ(MW::Clock::utcOffsetAt(utc(2021, 3, 28, 0, 59)), 3600);
        EXPECT_EQ(MW::Clock::utcOffsetAt(utc(2021, 3, 28, 1, 0)), 7200);

        // Now: summer. A time stamp from the winter is shown with the offset in
        // force now, not with the one in force then.
        const std::int64_t now = utc(2021, 7, 15, 10, 0);
        MW::Clock::setNowForTesting([now] { return now; });
        EXPECT_EQ(MW::Clock::nowLocal(), fromTm(makeTm(2021, 7, 15, 12, 0)));
        EXPECT_EQ(MW::Clock::utcToLocalNowOffset(utc(2021, 1, 15, 10, 0)),
                  fromTm(makeTm(2021, 1, 15, 12, 0)));
        EXPECT_EQ(MW::Clock::localToUtcNowOffset(fromTm(makeTm(2021, 1, 15, 12, 0))),
                  utc(2021, 1, 15, 10, 0));
    }
    {
        const TimeZone newYork("America/New_York");
        EXPECT_EQ(MW::Clock::utcOffsetAt(utc(2021, 1, 15)), -5 * 3600);
        EXPECT_EQ(MW::Clock::utcOffsetAt(utc(2021, 7, 15)), -4 * 3600);
        const std::int64_t now = utc(2021, 1, 15, 3, 0); // 22:00 the day before
        MW::Clock::setNowForTesting([now] { return now; });
        EXPECT_EQ(formatMDY(MW::Clock::nowLocal()), "01/14/21");
    }
}
#endif

} // namespace
