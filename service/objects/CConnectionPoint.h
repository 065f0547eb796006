#pragma once
// The engine's list of connected event sinks. A connection takes the first empty
// slot and its cookie is the slot index + 1; the list starts without slots, gets 4
// on the first connection and doubles when full, and never shrinks, so a cookie
// stays valid until its own disconnection.

#include "IMorrowickEvents.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace MW::Objects {

// Error names of the connection point (CContractError::name()).
inline constexpr const char* kErrorCannotConnect = "org.morrowick.Error.CannotConnect";
inline constexpr const char* kErrorAdviseLimit = "org.morrowick.Error.AdviseLimit";
inline constexpr const char* kErrorNoConnection = "org.morrowick.Error.NoConnection";

class CConnectionPoint {
public:
    static constexpr std::int32_t kInitialSlots = 4;
    static constexpr std::int32_t kMaxSlots = std::numeric_limits<std::int32_t>::max();

    // `maxSlots` bounds the growth (a seam for tests; the real limit is the slot
    // count's type and the memory).
    explicit CConnectionPoint(std::int32_t maxSlots = kMaxSlots) : m_nMaxSlots(maxSlots) {}
    CConnectionPoint(const CConnectionPoint&) = delete;
    CConnectionPoint& operator=(const CConnectionPoint&) = delete;

    // Returns the cookie. Throws CContractError: kErrorCannotConnect for a null
    // sink, kErrorAdviseLimit when the list cannot grow.
    std::uint32_t advise(std::shared_ptr<IMorrowickEvents> sink);
    // Throws CContractError(kErrorNoConnection) when the cookie names no live
    // connection.
    void unadvise(std::uint32_t cookie);

    std::int32_t slotCount() const;
    // A snapshot of the live connections as (sink, cookie), in slot order.
    std::vector<std::pair<std::shared_ptr<IMorrowickEvents>, std::uint32_t>> connections() const;

    // Calls `call` for each sink in slot order, on the calling thread. The slot
    // count is read once; slots filled later in the loop are seen, sinks that
    // disconnect before their turn are not. A sink that throws is skipped.
    void fire(const std::function<void(IMorrowickEvents&)>& call) const;

private:
    mutable std::mutex m_mutex; // guards the slots only; sinks are called outside it
    std::vector<std::shared_ptr<IMorrowickEvents>> m_arrSinks;
    std::int32_t m_nMaxSlots;
};

} // namespace MW::Objects
