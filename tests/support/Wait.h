#pragma once

#include <chrono>
#include <functional>

namespace MW::Test {

// Polls `condition` until it holds or `timeout` passes; returns its last value.
// Tests wait for conditions, never for fixed times: the machine may be loaded.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(60));
inline bool waitUntil(const std::function<bool()>& condition, int seconds) {
    return waitUntil(condition, std::chrono::seconds(seconds));
}

} // namespace MW::Test
