#include "OleDateTime.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace MW::OleDate {
namespace {

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

constexpr std::int64_t kMillisecondsPerDay = kSecondsPerDay * 1000;
constexpr double kMillisecondsPerDayD = static_cast<double>(kMillisecondsPerDay);
// About a million years either side: the years still fit an int.
constexpr double kMaxDays = 365.0e6;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

} // namespace

double fromWallSeconds(std::int64_t wallSeconds) {
    const std::int64_t day = floorDiv(wallSeconds, kSecondsPerDay);
    const std::int64_t secondOfDay = wallSeconds - day * kSecondsPerDay;
    const double datePart = static_cast<double>(day) + kUnixEpochDay;
    const double timePart = static_cast<double>(secondOfDay) / kSecondsPerDay;
    // Before 30 December 1899 the OLE encoding keeps the time of day positive in
    // magnitude behind a negative day count.
    return datePart >= 0 ? datePart + timePart : datePart - timePart;
}

std::int64_t toWallSeconds(double oleDate) {
    // Far outside the years 100 to 9999 OLE dates are meant for; clamped so that
    // the conversions below stay defined for any double a client may send.
    constexpr double kLimit = 1.0e12;
    if (std::isnan(oleDate))
        oleDate = 0;
    oleDate = std::clamp(oleDate, -kLimit, kLimit);
    double datePart = std::trunc(oleDate);
    double timePart = std::fabs(oleDate - datePart);
    auto seconds = static_cast<std::int64_t>(std::llround(timePart * kSecondsPerDay));
    auto day = static_cast<std::int64_t>(datePart) - static_cast<std::int64_t>(kUnixEpochDay);
    return day * kSecondsPerDay + seconds;
}

double fromTm(const std::tm& tm) {
    // Normalise month overflow the way mktime would, without a zone.
    std::int64_t year = tm.tm_year + 1900LL + floorDiv(tm.tm_mon, 12);
    auto month = static_cast<unsigned>(tm.tm_mon - floorDiv(tm.tm_mon, 12) * 12 + 1);
    std::int64_t days = daysFromCivil(year, month, 1) + tm.tm_mday - 1;
    std::int64_t seconds =
        days * kSecondsPerDay + tm.tm_hour * 3600LL + tm.tm_min * 60LL + tm.tm_sec;
    return fromWallSeconds(seconds);
}

std::tm toTm(double oleDate) {
    const std::int64_t seconds = toWallSeconds(oleDate);
    const std::int64_t day = floorDiv(seconds, kSecondsPerDay);
    const std::int64_t secondOfDay = seconds - day * kSecondsPerDay;
    std::int64_t y;
    unsigned m, d;
    civilFromDays(day, y, m, d);
    std::tm tm{};
    tm.tm_year = static_cast<int>(y - 1900);
    tm.tm_mon = static_cast<int>(m) - 1;
    tm.tm_mday = static_cast<int>(d);
    tm.tm_hour = static_cast<int>(secondOfDay / 3600);
    tm.tm_min = static_cast<int>(secondOfDay / 60 % 60);
    tm.tm_sec = static_cast<int>(secondOfDay % 60);
    tm.tm_wday = static_cast<int>(((day % 7) + 7 + 4) % 7); // 1970-01-01 was a Thursday
    tm.tm_isdst = -1;
    return tm;
}

double fromDateTime(const SDateTime& local) {
    const std::int64_t day = daysFromCivil(local.year, static_cast<unsigned>(local.month),
                                           static_cast<unsigned>(local.day));
    const std::int64_t ms =
        ((local.hour * 60LL + local.minute) * 60 + local.second) * 1000 + local.millisecond;
    const double datePart = static_cast<double>(day) + kUnixEpochDay;
    const double timePart = static_cast<double>(ms) / kMillisecondsPerDayD;
    return datePart >= 0 ? datePart + timePart : datePart - timePart;
}

std::optional<SDateTime> toDateTime(double oleDate) {
    if (!std::isfinite(oleDate) || std::fabs(oleDate) > kMaxDays)
        return std::nullopt;
    const double whole = std::trunc(oleDate);
    auto ms = static_cast<std::int64_t>(std::llround(std::fabs(oleDate - whole) * kMillisecondsPerDayD));
    auto day = static_cast<std::int64_t>(whole);
    if (ms >= kMillisecondsPerDay) { // rounded up to the next midnight
        ms -= kMillisecondsPerDay;
        day += 1;
    }
    std::int64_t y;
    unsigned m, d;
    civilFromDays(day - static_cast<std::int64_t>(kUnixEpochDay), y, m, d);
    SDateTime result;
    result.year = static_cast<int>(y);
    result.month = static_cast<int>(m);
    result.day = static_cast<int>(d);
    result.hour = static_cast<int>(ms / 3'600'000);
    result.minute = static_cast<int>(ms / 60'000 % 60);
    result.second = static_cast<int>(ms / 1000 % 60);
    result.millisecond = static_cast<int>(ms % 1000);
    return result;
}

bool sameMoment(double a, double b) {
    return toDateTime(a) == toDateTime(b);
}

bool isInRange(double oleDate) {
    return std::isfinite(oleDate) && oleDate > kMinDate && oleDate < kMaxDate;
}

std::string formatMDY(double oleDate) {
    if (!isInRange(oleDate))
        return {};
    const std::tm tm = toTm(oleDate);
    std::array<char, 48> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%02d/%02d/%02d", tm.tm_mon + 1, tm.tm_mday,
                  (tm.tm_year + 1900) % 100);
    return buffer.data();
}

std::optional<double> parse(std::string_view text) {
    std::string s(text);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    std::size_t start = s.find_first_not_of(" \t");
    if (start == std::string::npos)
        return std::nullopt;
    s.erase(0, start);

    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, n = 0;
    const char* c = s.c_str();
    const auto valid = [&](int year) {
        if (mo < 1 || mo > 12 || d < 1 || h < 0 || h > 23 || mi < 0 || mi > 59 || sec < 0 ||
            sec > 59 || year < 100 || year > 9999)
            return false;
        static constexpr std::array<int, 12> kDays = {31, 29, 31, 30, 31, 30,
                                                      31, 31, 30, 31, 30, 31};
        if (d > kDays[static_cast<std::size_t>(mo - 1)])
            return false;
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return !(mo == 2 && d == 29 && !leap);
    };
    const auto finish = [&](int year) -> std::optional<double> {
        if (!valid(year))
            return std::nullopt;
        std::tm tm{};
        tm.tm_year = year - 1900, tm.tm_mon = mo - 1, tm.tm_mday = d;
        tm.tm_hour = h, tm.tm_min = mi, tm.tm_sec = sec;
        return fromTm(tm);
    };
    // Parses an optional " HH:MM[:SS]" tail starting at `rest`.
    const auto timeTail = [&](const char* rest) {
        if (*rest == 0)
            return true;
        if (*rest != ' ' && *rest != 'T')
            return false;
        int used = 0;
        sec = 0;
        if (std::sscanf(rest + 1, "%2d:%2d:%2d%n", &h, &mi, &sec, &used) == 3 &&
            rest[1 + used] == 0)
            return true;
        sec = 0;
        return std::sscanf(rest + 1, "%2d:%2d%n", &h, &mi, &used) == 2 && rest[1 + used] == 0;
    };

    if (std::sscanf(c, "%4d-%2d-%2d%n", &y, &mo, &d, &n) == 3 && n == 10)
        return timeTail(c + n) ? finish(y) : std::nullopt;
    if (std::sscanf(c, "%2d/%2d/%4d%n", &mo, &d, &y, &n) == 3) {
        const int digits =
            n - static_cast<int>(std::string_view(c, static_cast<std::size_t>(n)).rfind('/')) - 1;
        if (digits == 2)
            y += y < 30 ? 2000 : 1900; // the two-digit year window of OLE conversions
        else if (digits != 4)
            return std::nullopt;
        return timeTail(c + n) ? finish(y) : std::nullopt;
    }
    sec = 0;
    if ((std::sscanf(c, "%2d:%2d:%2d%n", &h, &mi, &sec, &n) == 3 && c[n] == 0) ||
        (sec = 0, std::sscanf(c, "%2d:%2d%n", &h, &mi, &n) == 2 && c[n] == 0)) {
        if (h < 0 || h > 23 || mi < 0 || mi > 59 || sec < 0 || sec > 59)
            return std::nullopt;
        return (h * 3600.0 + mi * 60.0 + sec) / kSecondsPerDay;
    }
    return std::nullopt;
}

} // namespace MW::OleDate

