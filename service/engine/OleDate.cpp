#include "OleDate.h"

#include "LocalTime.h"

#include <chrono>
#include <mutex>

namespace MW::Clock {
namespace {
std::mutex g_sourceMutex;
std::function<std::int64_t()> g_source;
} // namespace

std::int64_t nowUtc() {
    {
        std::lock_guard lock(g_sourceMutex);
        if (g_source)
            return g_source();
    }
    // Not time(): it reads a coarse clock that can lag a timer that just expired by
    // a few milliseconds, which would put "now" in the second before the due time.
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void setNowForTesting(std::function<std::int64_t()> source) {
    std::lock_guard lock(g_sourceMutex);
    g_source = std::move(source);
}

std::int64_t utcOffsetAt(std::int64_t utcSeconds) {
    return Platform::utcOffsetAt(utcSeconds);
}

double nowLocal() {
    const std::int64_t now = nowUtc();
    return OleDate::fromWallSeconds(now + utcOffsetAt(now));
}

double utcToLocalNowOffset(std::int64_t utcSeconds) {
    return OleDate::fromWallSeconds(utcSeconds + utcOffsetAt(nowUtc()));
}

std::int64_t localToUtcNowOffset(double oleDate) {
    return OleDate::toWallSeconds(oleDate) - utcOffsetAt(nowUtc());
}

} // namespace MW::Clock
