#include "LocalTime.h"

#include <ctime>

namespace MW::Platform {

std::int64_t utcOffsetAt(std::int64_t utcSeconds) {
    // The runtime's local time (TZ in its own form, or the system's zone with its
    // daylight-saving rules), read back as if it were UTC: the difference is the
    // offset in force.
    const __time64_t t = utcSeconds;
    std::tm local{};
    if (::_localtime64_s(&local, &t) != 0)
        return 0;
    const __time64_t asUtc = ::_mkgmtime64(&local);
    return asUtc == -1 ? 0 : static_cast<std::int64_t>(asUtc - t);
}

} // namespace MW::Platform
