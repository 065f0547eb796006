#include "CNotifier.h"

#include <algorithm>
#include <mutex>

namespace MW::Common {

void CNotifier::subscribe(std::int32_t code, IObserver* observer) {
    std::unique_lock lock(m_mutex);
    auto& list = m_observers[code];
    if (std::find(list.begin(), list.end(), observer) == list.end())
        list.push_back(observer);
}

void CNotifier::unsubscribe(std::int32_t code, IObserver* observer) {
    std::unique_lock lock(m_mutex);
    auto it = m_observers.find(code);
    if (it == m_observers.end())
        return;
    auto& list = it->second;
    auto pos = std::find(list.begin(), list.end(), observer);
    if (pos != list.end())
        list.erase(pos);
}

void CNotifier::notify(std::int32_t code) {
    std::vector<IObserver*> list;
    {
        std::shared_lock lock(m_mutex);
        auto it = m_observers.find(code);
        if (it == m_observers.end())
            return;
        list = it->second;
    }
    for (IObserver* observer : list)
        observer->update(code);
}

void CNotifier::notifyAll() {
    std::map<std::int32_t, std::vector<IObserver*>> table;
    {
        std::shared_lock lock(m_mutex);
        table = m_observers;
    }
    for (const auto& [code, list] : table)
        for (IObserver* observer : list)
            observer->update(code);
}

} // namespace MW::Common
