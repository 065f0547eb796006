#pragma once
// The service's clock. Every date computation of the service goes through here
// and through the OLE date conversions of OleDateTime.h.

#include "OleDateTime.h"

#include <cstdint>
#include <functional>

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
