#pragma once
// The events the engine broadcasts to its connected sinks. A sink may throw: the
// engine skips it and goes on with the others.

#include <cstdint>

namespace MW::Objects {

class IMorrowickEvents {
public:
    virtual ~IMorrowickEvents() = default;
    virtual void scanStarted() = 0;
    virtual void scanFinished() = 0;
    // Carries the new total of bytes freed, not an increment.
    virtual void updateCleanedSpace(std::uint64_t cleanedSpace) = 0;
    virtual void test() = 0;
};

} // namespace MW::Objects
