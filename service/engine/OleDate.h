#pragma once
// OLE Automation dates (days since 30 December 1899, the fraction being the time
// of day, in local time) and the service's clock. Every date computation of the
// service goes through here.

#include <cstdint>
#include <ctime>
#include <functional>
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

// "%m/%d/%y", or an empty text when the date cannot be formatted.
std::string formatMDY(double oleDate);

// A date text as the service accepts it from clients: ISO 8601 "YYYY-MM-DD",
// "YYYY-MM-DD HH:MM[:SS]" (also with 'T'), "MM/DD/YYYY [HH:MM[:SS]]", "MM/DD/YY ...",
// or a plain time "HH:MM[:SS]" (taken on 30 December 1899, as OLE does).
std::optional<double> parse(std::string_view text);

} // namespace MW::OleDate

namespace MW::Clock {

// Seconds since the Unix epoch (UTC). Tests may replace the source.
std::int64_t nowUtc();
void setNowForTesting(std::function<std::int64_t()> source);

// Seconds east of UTC in force at the given time, in the process's time zone.
std::int64_t utcOffsetAt(std::int64_t utcSeconds);

// The current local time, whole seconds, as an OLE date.
double nowLocal();

// A UTC time stamp as a local OLE date using the offset in force now (not the one
// in force at the time stamp), and a local OLE date back to UTC the same way.
double utcToLocalNowOffset(std::int64_t utcSeconds);
std::int64_t localToUtcNowOffset(double oleDate);

} // namespace MW::Clock
