#include "CEventRelay.h"

#include "CSettings.h"

#include <cerrno>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace MW::DBus {

CEventRelay::CEventRelay() : m_fdWake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (m_fdWake < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
}

CEventRelay::~CEventRelay() {
    ::close(m_fdWake);
}

CEventRelay::Batch CEventRelay::take(std::size_t maxCount) {
    Batch batch;
    std::lock_guard lock(m_mutex);
    std::uint64_t counter = 0;
    // Nonblocking: fails with EAGAIN when nothing was signalled, which is fine.
    [[maybe_unused]] const auto n = ::read(m_fdWake, &counter, sizeof counter);
    if (maxCount == 0)
        return batch;
    // Under the same lock as the events: a change made before an event is taken
    // with it at the latest, so clients learn of LastScan before scanFinished.
    std::swap(batch.changedProperties, m_nChangedProperties);
    while (!m_queue.empty() && batch.events.size() < maxCount) {
        batch.events.push_back(m_queue.front());
        m_queue.pop_front();
    }
    return batch;
}

bool CEventRelay::pending() const {
    std::lock_guard lock(m_mutex);
    return !m_queue.empty() || m_nChangedProperties != 0;
}

void CEventRelay::update(std::int32_t code) {
    const std::int32_t dispId = code - eSE_PropertyChanged;
    if (dispId < DispId::ScanFolder || dispId > DispId::ProxySysAccessType)
        return;
    std::lock_guard lock(m_mutex);
    const std::uint32_t bit = 1u << dispId;
    // Already waiting to be told: the value is read when it is sent.
    if ((m_nChangedProperties & bit) != 0)
        return;
    m_nChangedProperties |= bit;
    wake();
}

void CEventRelay::scanStarted() {
    push({eFE_ScanStarted, 0});
}
void CEventRelay::scanFinished() {
    push({eFE_ScanFinished, 0});
}
void CEventRelay::updateCleanedSpace(std::uint64_t cleanedSpace) {
    push({eFE_UpdateCleanedSpace, cleanedSpace});
}
void CEventRelay::test() {
    push({eFE_Test, 0});
}

void CEventRelay::push(Event event) {
    std::lock_guard lock(m_mutex);
    // Behind a backlog a running total replaces the one before it: a slow bus then
    // keeps one event instead of one per deleted file, and clients still see the
    // latest total. Without a backlog every total goes out.
    if (event.kind == eFE_UpdateCleanedSpace && m_queue.size() >= kBacklog &&
        m_queue.back().kind == eFE_UpdateCleanedSpace)
        m_queue.back() = event;
    else
        m_queue.push_back(event);
    wake();
}

// Called under the lock, so take() cannot reset the wake-up between a change and
// its announcement and leave it unannounced.
void CEventRelay::wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(m_fdWake, &one, sizeof one);
}

} // namespace MW::DBus
