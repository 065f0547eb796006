// The daily due time as setTimer computes it: the start time's local time of day,
// today or tomorrow, in any time zone and across its changes.

#include "CSettings.h"
#include "CleanerFixture.h"
#include "OleDate.h"
#include "TestPlatform.h"

#include <cstdlib>
#include <ctime>

namespace MW::Test {
namespace {

#ifndef _WIN32 // zone names the Windows C runtime does not read
TEST_F(CleanerTest, SetTimerKeepsTheLocalTimeOfDayAcrossADaylightSavingChange) {
    const char* zone = std::getenv("TZ");
    const std::string savedZone = zone ? zone : "";
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    const auto local = [](int month, int day, int hour) {
        std::tm tm{};
        tm.tm_year = 2021 - 1900, tm.tm_mon = month - 1, tm.tm_mday = day, tm.tm_hour = hour;
        return OleDate::fromTm(tm);
    };
    CSettings* settings = CSettings::getInstance();
    settings->storeStartTime(local(1, 1, 9));
    // Saturday 27 March 2021, 12:00 in Berlin (11:00 UTC); the clocks go forward
    // that night.
    const std::int64_t now = OleDate::toWallSeconds(local(3, 27, 11));
    Clock::setNowForTesting([now] { return now; });
    m_pCleaner->setTimer();
    EXPECT_EQ(settings->getStartTime(), local(3, 28, 9));
    EXPECT_EQ(logLines().back(), "CCleaner: Timer set to: 2021/3/28 9:0:0");
    // West of UTC the day changes at another moment: 03:00 UTC is still the day
    // before in New York.
    ::setenv("TZ", "America/New_York", 1);
    ::tzset();
    const std::int64_t early = OleDate::toWallSeconds(local(3, 27, 3));
    Clock::setNowForTesting([early] { return early; });
    m_pCleaner->setTimer();
    EXPECT_EQ(logLines().back(), "CCleaner: Timer set to: 2021/3/27 9:0:0");

    if (savedZone.empty())
        ::unsetenv("TZ");
    else
        ::setenv("TZ", savedZone.c_str(), 1);
    ::tzset();
}
#endif

TEST_F(CleanerTest, SetTimerChoosesTodayOrTomorrowAtTheStartTimeOfDay) {
    const CTimeZone zone("UTC0");
    const auto at = [](int year, int month, int day, int hour, int minute, int second) {
        std::tm tm{};
        tm.tm_year = year - 1900, tm.tm_mon = month - 1, tm.tm_mday = day;
        tm.tm_hour = hour, tm.tm_min = minute, tm.tm_sec = second;
        return OleDate::fromTm(tm);
    };
    const auto setNow = [](double oleDate) {
        const std::int64_t seconds = OleDate::toWallSeconds(oleDate); // UTC: no offset
        Clock::setNowForTesting([seconds] { return seconds; });
    };
    CSettings* settings = CSettings::getInstance();
    // Only the time of day of the stored start time counts, not its date.
    settings->storeStartTime(at(2020, 1, 1, 9, 0, 0));

    setNow(at(2021, 3, 16, 8, 59, 59));
    m_pCleaner->setTimer();
    EXPECT_EQ(settings->getStartTime(), at(2021, 3, 16, 9, 0, 0));
    EXPECT_EQ(logLines().back(), "CCleaner: Timer set to: 2021/3/16 9:0:0");

    setNow(at(2021, 3, 16, 9, 0, 0));
    m_pCleaner->setTimer();
    EXPECT_EQ(settings->getStartTime(), at(2021, 3, 17, 9, 0, 0));
    EXPECT_EQ(logLines().back(), "CCleaner: Timer set to: 2021/3/17 9:0:0");

    setNow(at(2021, 3, 16, 9, 0, 1));
    m_pCleaner->setTimer();
    EXPECT_EQ(settings->getStartTime(), at(2021, 3, 17, 9, 0, 0));

    // Across the end of a month and a year.
    settings->storeStartTime(at(2021, 1, 1, 0, 0, 0));
    setNow(at(2021, 12, 31, 23, 59, 59));
    m_pCleaner->setTimer();
    EXPECT_EQ(logLines().back(), "CCleaner: Timer set to: 2022/1/1 0:0:0");

    // Every start time a client may store counts with its time of day, up to the
    // last moment of the year 9999.
    for (const double start :
         {at(9999, 12, 31, 12, 0, 0), at(9999, 12, 31, 23, 59, 59), at(100, 1, 1, 6, 30, 0)}) {
        settings->storeStartTime(start);
        setNow(at(2021, 3, 16, 1, 0, 0));
        m_pCleaner->setTimer();
        const std::tm due = OleDate::toTm(settings->getStartTime());
        const std::tm wanted = OleDate::toTm(start);
        EXPECT_EQ(due.tm_hour * 3600 + due.tm_min * 60 + due.tm_sec,
                  wanted.tm_hour * 3600 + wanted.tm_min * 60 + wanted.tm_sec)
            << logLines().back();
        EXPECT_EQ(due.tm_mday, 16);
    }
    settings->storeStartTime(at(2021, 1, 1, 0, 0, 0));
    setNow(at(2021, 12, 31, 23, 59, 59));
    m_pCleaner->setTimer();

    // Scan now names the present moment and leaves the start time alone.
    m_pCleaner->setTimerNow();
    EXPECT_EQ(logLines().back(), "CCleaner: TimerNow set to: 2021/12/31 23:59:59");
    EXPECT_EQ(settings->getStartTime(), at(2022, 1, 1, 0, 0, 0));

    // The notifications, while idle.
    const std::size_t entries = logLines().size();
    m_pCleaner->update(eSE_StartTimeChanged);
    m_pCleaner->update(eSE_ScanNow);
    m_pCleaner->update(99);
    const auto log = logLines();
    ASSERT_EQ(log.size(), entries + 2);
    EXPECT_TRUE(log[entries].starts_with("CCleaner: Timer set to: "));
    EXPECT_TRUE(log[entries + 1].starts_with("CCleaner: TimerNow set to: "));
}

} // namespace
} // namespace MW::Test
