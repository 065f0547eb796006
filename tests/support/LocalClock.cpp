#include "LocalClock.h"

#include <chrono>
#include <ctime>
#include <stdexcept>

namespace MW::Test {
namespace {

using namespace std::chrono;

constexpr int kMinutesPerDay = 24 * 60;

struct LocalNow {
    LocalDate date;
    int minuteOfDay = 0;
    int second = 0;
};

LocalNow localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    ::localtime_s(&tm, &now);
#else
    ::localtime_r(&now, &tm);
#endif
    return {{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday}, tm.tm_hour * 60 + tm.tm_min, tm.tm_sec};
}

LocalDate addDays(const LocalDate& date, int days) {
    const year_month_day ymd{sys_days{year{date.year} / month{unsigned(date.month)} /
                                      day{unsigned(date.day)}} +
                             std::chrono::days{days}};
    return {int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day()))};
}

} // namespace

double oleDay(const LocalDate& date) {
    const sys_days epoch = year{1899} / December / 30;
    const sys_days when = year{date.year} / month{unsigned(date.month)} / day{unsigned(date.day)};
    return double((when - epoch).count());
}

DueTime dueAt(int hour, int minute) {
    const LocalNow now = localNow();
    // Whole seconds, as the schedule reads the clock: the time of day counts as
    // reached from its first second on.
    const int nowSeconds = now.minuteOfDay * 60 + now.second;
    const int atSeconds = (hour * 60 + minute) * 60;
    DueTime due;
    due.date = atSeconds > nowSeconds ? now.date : addDays(now.date, 1);
    due.hour = hour;
    due.minute = minute;
    due.oleDate = oleDay(due.date) + (hour * 60 + minute) / double(kMinutesPerDay);
    return due;
}

DueTime dueTimeAhead(int hoursAhead) {
    if (hoursAhead < 1 || hoursAhead > 23)
        throw std::invalid_argument("dueTimeAhead: hoursAhead between 1 and 23");
    const int ahead = (localNow().minuteOfDay + hoursAhead * 60) % kMinutesPerDay;
    const int quarter = ahead - ahead % 15;
    return dueAt(quarter / 60, quarter % 60);
}

} // namespace MW::Test
