#pragma once
// The bus server's event sink. Events are fired on whatever thread the engine's
// caller runs (mostly the cleaner's); the sink only queues them and wakes the bus
// thread through an eventfd, because only that thread may touch the connection.
// The firing thread never waits for the bus. Once kBacklog events wait,
// consecutive updateCleanedSpace events are merged into the latest one, so the
// queue stays small however slow the bus is.
//
// It also observes the settings record's property changes (subscribed with
// CSettings::subscribePropertyChanges): each only marks its property as changed,
// so a property that changes a thousand times between two takes costs one
// PropertiesChanged, which carries the value of the moment it is sent.

#include "CNotifier.h"
#include "Contract.h"
#include "IMorrowickEvents.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace MW::DBus {

class CEventRelay : public Objects::IMorrowickEvents, public Common::IObserver {
public:
    static constexpr std::size_t kBacklog = 64;

    struct Event {
        EFireEvent kind = eFE_None;
        std::uint64_t cleanedSpace = 0; // for eFE_UpdateCleanedSpace
    };
    // What one take() hands the bus thread: the Config properties changed since the
    // last take (bit n for DispId n), to be told before the events, which were
    // fired after those changes or together with them.
    struct Batch {
        std::uint32_t changedProperties = 0;
        std::vector<Event> events;
    };

    CEventRelay();
    ~CEventRelay() override; // closes the eventfd: the relay outlives every firing
    CEventRelay(const CEventRelay&) = delete;
    CEventRelay& operator=(const CEventRelay&) = delete;

    // Readable while events wait.
    int wakeFd() const { return m_fdWake; }
    // Takes the changed properties and up to `maxCount` events in the order they
    // were fired, and resets the wake-up; what remains is reported by pending().
    // With `maxCount` 0 (a bus that takes nothing now) everything stays.
    Batch take(std::size_t maxCount);
    bool pending() const;

    // A settings notification: eSE_PropertyChanged + a DispId marks that property.
    void update(std::int32_t code) override;

    void scanStarted() override;
    void scanFinished() override;
    void updateCleanedSpace(std::uint64_t cleanedSpace) override;
    void test() override;

private:
    void push(Event event);

    void wake();

    mutable std::mutex m_mutex;
    std::deque<Event> m_queue;
    std::uint32_t m_nChangedProperties = 0;
    int m_fdWake = -1;
};

} // namespace MW::DBus
