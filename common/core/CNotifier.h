#pragma once

#include <cstdint>
#include <map>
#include <shared_mutex>
#include <vector>

namespace MW::Common {

class IObserver {
public:
    virtual ~IObserver() = default;
    virtual void update(std::int32_t code) = 0;
};

// Keeps, per notification code, the observers to call, in subscription order.
class CNotifier {
public:
    CNotifier() = default;
    CNotifier(const CNotifier&) = delete;
    CNotifier& operator=(const CNotifier&) = delete;
    virtual ~CNotifier() = default;

    virtual void subscribe(std::int32_t code, IObserver* observer);
    virtual void unsubscribe(std::int32_t code, IObserver* observer);
    virtual void notify(std::int32_t code);
    virtual void notifyAll();

private:
    // Guards the table only; observers are called on a copy of their list, outside
    // the lock, so an observer may subscribe or notify from `update`.
    mutable std::shared_mutex m_mutex;
    std::map<std::int32_t, std::vector<IObserver*>> m_observers;
};

} // namespace MW::Common
