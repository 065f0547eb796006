#include "LocalTime.h"

#include <ctime>

namespace MW::Platform {

std::int64_t utcOffsetAt(std::int64_t utcSeconds) {
    const auto t = static_cast<std::time_t>(utcSeconds);
    std::tm local{};
    if (!localtime_r(&t, &local))
        return 0;
    return local.tm_gmtoff;
}

} // namespace MW::Platform
