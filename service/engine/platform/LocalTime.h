#pragma once

#include <cstdint>

namespace MW::Platform {

// Seconds east of UTC in force at `utcSeconds` in the process's time zone, as the
// C runtime knows it (on Windows: the TZ variable in its own form, such as
// EST5EDT, else the system's zone). 0 when the time cannot be converted.
std::int64_t utcOffsetAt(std::int64_t utcSeconds);

} // namespace MW::Platform
