#pragma once
// The bus server's event sink. Events are fired on whatever thread the engine's
// caller runs (mostly the cleaner's); the sink only queues them and wakes the bus
// thread through an eventfd, because only that thread may touch the connection.
// The firing thread never waits for the bus. Once kBacklog events wait,
// consecutive updateCleanedSpace events are merged into the latest one, so the
// queue stays small however slow the bus is.

#include "Contract.h"
#include "IMorrowickEvents.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace MW::DBus {

class CEventRelay : public Objects::IMorrowickEvents {
public:
    static constexpr std::size_t kBacklog = 64;

    struct Event {
        EFireEvent kind = eFE_None;
        std::uint64_t cleanedSpace = 0; // for eFE_UpdateCleanedSpace
    };

    CEventRelay();
    ~CEventRelay() override; // closes the eventfd: the relay outlives every firing
    CEventRelay(const CEventRelay&) = delete;
    CEventRelay& operator=(const CEventRelay&) = delete;

    // Readable while events wait.
    int wakeFd() const { return m_fdWake; }
    // Takes up to `maxCount` events in the order they were fired and resets the
    // wake-up; what remains is reported by pending().
    std::vector<Event> take(std::size_t maxCount);
    bool pending() const;

    void scanStarted() override;
    void scanFinished() override;
    void updateCleanedSpace(std::uint64_t cleanedSpace) override;
    void test() override;

private:
    void push(Event event);

    mutable std::mutex m_mutex;
    std::deque<Event> m_queue;
    int m_fdWake = -1;
};

} // namespace MW::DBus
