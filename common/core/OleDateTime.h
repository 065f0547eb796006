#pragma once
// OLE Automation dates: days since 30 December 1899, the fraction being the time
// of day, in local time. The type of StartTime on both sides of the contract, so
// the service and every client convert through here and nowhere else.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace MW::OleDate {

// The dates the service accepts and computes with, those OLE Automation knows:
// all of 1 January 100 (day -657434; before 1899 the time of day stands behind
// the negative day, so that day's times reach towards -657435) up to the end of
// 31 December 9999 (day 2958465). The one place that says so; both bounds are
// exclusive.
inline constexpr double kMinDate = -657435.0;
inline constexpr double kMaxDate = 2958466.0;
// Whether `oleDate` is a number within that range.
bool isInRange(double oleDate);

// 1 January 1970 as an OLE date.
inline constexpr double kUnixEpochDay = 25569.0;
inline constexpr std::int64_t kSecondsPerDay = 86400;

// A count of seconds since 1970-01-01 00:00, read as a wall-clock time (no zone
// applied), as an OLE date; and back, rounded to the nearest second.
double fromWallSeconds(std::int64_t wallSeconds);
std::int64_t toWallSeconds(double oleDate);

// Broken-down time (tm_year, tm_mon, tm_mday, tm_hour, tm_min, tm_sec) and back.
double fromTm(const std::tm& tm);
std::tm toTm(double oleDate);

// A local date and time to the millisecond, as a calendar shows it.
struct SDateTime {
    int year = 1899;
    int month = 12; // 1 to 12
    int day = 30;   // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    friend bool operator==(const SDateTime&, const SDateTime&) = default;
};
// A valid date and time (a proleptic Gregorian day of the years -999999 to
// 999999, fields in their ranges) as an OLE date; exact to the millisecond.
double fromDateTime(const SDateTime& local);
// The date and time an OLE date names, rounded to the nearest millisecond (a
// fraction a hair below midnight is the next day's midnight). Nothing for a
// value that is not a number or lies more than a million years away.
std::optional<SDateTime> toDateTime(double oleDate);
// Whether two OLE dates name the same moment to the millisecond: doubles that
// went through a date picker and back differ in their last bits.
bool sameMoment(double a, double b);

// "%m/%d/%y", or an empty text when the date cannot be formatted.
std::string formatMDY(double oleDate);

// A date text as the service accepts it from clients: ISO 8601 "YYYY-MM-DD",
// "YYYY-MM-DD HH:MM[:SS]" (also with 'T'), "MM/DD/YYYY [HH:MM[:SS]]", "MM/DD/YY ...",
// or a plain time "HH:MM[:SS]" (taken on 30 December 1899, as OLE does).
std::optional<double> parse(std::string_view text);

} // namespace MW::OleDate

