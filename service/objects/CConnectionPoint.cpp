#include "CConnectionPoint.h"

#include "Contract.h"

#include <new>
#include <string>

namespace MW::Objects {

std::uint32_t CConnectionPoint::advise(std::shared_ptr<IMorrowickEvents> sink) {
    if (!sink)
        throw CContractError(kErrorCannotConnect, "The sink does not receive the engine's events.");
    std::lock_guard lock(m_mutex);
    std::size_t slot = 0;
    while (slot < m_arrSinks.size() && m_arrSinks[slot])
        ++slot;
    if (slot == m_arrSinks.size()) {
        const std::int64_t count = static_cast<std::int64_t>(m_arrSinks.size());
        const std::int64_t grown = count == 0 ? kInitialSlots : count * 2;
        if (grown > m_nMaxSlots)
            throw CContractError(kErrorAdviseLimit, "No more connections are possible.");
        try {
            m_arrSinks.resize(static_cast<std::size_t>(grown));
        } catch (const std::bad_alloc&) {
            throw CContractError(kErrorAdviseLimit, "No more connections are possible.");
        }
    }
    m_arrSinks[slot] = std::move(sink);
    return static_cast<std::uint32_t>(slot + 1);
}

void CConnectionPoint::unadvise(std::uint32_t cookie) {
    std::shared_ptr<IMorrowickEvents> released;
    {
        std::lock_guard lock(m_mutex);
        if (cookie == 0 || cookie > m_arrSinks.size() || !m_arrSinks[cookie - 1])
            throw CContractError(kErrorNoConnection,
                                 "No connection has the cookie " + std::to_string(cookie) + ".");
        released.swap(m_arrSinks[cookie - 1]);
    }
    // `released` may hold the last reference: the sink goes away outside the lock.
}

std::int32_t CConnectionPoint::slotCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<std::int32_t>(m_arrSinks.size());
}

std::vector<std::pair<std::shared_ptr<IMorrowickEvents>, std::uint32_t>>
CConnectionPoint::connections() const {
    std::vector<std::pair<std::shared_ptr<IMorrowickEvents>, std::uint32_t>> result;
    std::lock_guard lock(m_mutex);
    for (std::size_t i = 0; i < m_arrSinks.size(); ++i)
        if (m_arrSinks[i])
            result.emplace_back(m_arrSinks[i], static_cast<std::uint32_t>(i + 1));
    return result;
}

void CConnectionPoint::fire(const std::function<void(IMorrowickEvents&)>& call) const {
    const std::size_t count = static_cast<std::size_t>(slotCount());
    for (std::size_t i = 0; i < count; ++i) {
        std::shared_ptr<IMorrowickEvents> sink;
        {
            std::lock_guard lock(m_mutex);
            if (i < m_arrSinks.size())
                sink = m_arrSinks[i];
        }
        if (!sink)
            continue;
        try {
            call(*sink);
        } catch (...) {
            // A failing sink (its client gone, for example) must not cost the
            // others their event; it stays connected until it disconnects.
        }
    }
}

} // namespace MW::Objects
