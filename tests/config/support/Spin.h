#pragma once

#include <functional>

namespace MW::Test {

// Runs the Qt event loop until `condition` holds or `timeoutMs` pass; returns
// the condition's last value. Bus replies, signals and timers are only delivered
// while the loop runs, so GUI tests wait with this, not with waitUntil.
bool spinUntil(const std::function<bool()>& condition, int timeoutMs = 30000);
// Runs the event loop for a while (to show that something does NOT happen).
void spinFor(int milliseconds);

} // namespace MW::Test
