#include "CEventRelay.h"

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

std::vector<CEventRelay::Event> CEventRelay::take(std::size_t maxCount) {
    std::vector<Event> events;
    std::lock_guard lock(m_mutex);
    std::uint64_t counter = 0;
    // Nonblocking: fails with EAGAIN when nothing was signalled, which is fine.
    [[maybe_unused]] const auto n = ::read(m_fdWake, &counter, sizeof counter);
    while (!m_queue.empty() && events.size() < maxCount) {
        events.push_back(m_queue.front());
        m_queue.pop_front();
    }
    return events;
}

bool CEventRelay::pending() const {
    std::lock_guard lock(m_mutex);
    return !m_queue.empty();
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
    const std::uint64_t one = 1;
    // Under the lock, so take() cannot reset the wake-up between the push and
    // the write and leave an event unannounced.
    [[maybe_unused]] const auto n = ::write(m_fdWake, &one, sizeof one);
}

} // namespace MW::DBus
