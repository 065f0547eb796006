#include "WaitableTimer.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <system_error>
#include <unistd.h>

namespace MW::Platform {
namespace {

using Clock = std::chrono::steady_clock;

timespec toTimespec(std::chrono::milliseconds duration) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(duration.count() / 1000);
    ts.tv_nsec = static_cast<long>(duration.count() % 1000 * 1000000);
    return ts;
}

// Milliseconds left until `deadline` as poll wants them (-1: no deadline).
int remainingMs(const std::optional<Clock::time_point>& deadline) {
    if (!deadline)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), 1 << 30));
}

std::optional<Clock::time_point> deadlineAfter(std::chrono::milliseconds timeout) {
    if (timeout.count() < 0)
        return std::nullopt;
    return Clock::now() + timeout;
}

} // namespace

CWaitableTimer::CWaitableTimer() {
    const int timer = ::timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC | TFD_NONBLOCK);
    if (timer < 0)
        throw std::system_error(errno, std::generic_category(), "timerfd_create");
    const int stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stop < 0) {
        const int error = errno;
        ::close(timer);
        throw std::system_error(error, std::generic_category(), "eventfd");
    }
    m_hTimer = timer;
    m_hStop = stop;
}

CWaitableTimer::~CWaitableTimer() {
    ::close(static_cast<int>(m_hTimer));
    ::close(static_cast<int>(m_hStop));
}

bool CWaitableTimer::arm(std::int64_t dueUtc, std::chrono::milliseconds period) {
    itimerspec spec{};
    spec.it_value.tv_sec = static_cast<time_t>(dueUtc);
    // An all-zero value would disarm; the epoch is as much in the past as needed.
    if (dueUtc <= 0)
        spec.it_value = {0, 1};
    spec.it_interval = toTimespec(period);
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    m_bDueAtOnce.store(dueUtc <= static_cast<std::int64_t>(now.tv_sec));
    // CANCEL_ON_SET: a wall-clock change ends the wait with ECANCELED instead of
    // firing at a time nobody chose.
    return ::timerfd_settime(static_cast<int>(m_hTimer),
                             TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &spec, nullptr) == 0;
}

bool CWaitableTimer::cancel() {
    const itimerspec disarmed{};
    m_bDueAtOnce.store(false);
    return ::timerfd_settime(static_cast<int>(m_hTimer), 0, &disarmed, nullptr) == 0;
}

CWaitableTimer::EWait CWaitableTimer::wait(std::chrono::milliseconds timeout) {
    const auto deadline = deadlineAfter(timeout);
    for (;;) {
        pollfd fds[2] = {{static_cast<int>(m_hStop), POLLIN, 0},
                         {static_cast<int>(m_hTimer), POLLIN, 0}};
        const int ready = ::poll(fds, 2, remainingMs(deadline));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return EWait::Failed;
        }
        if (ready == 0)
            return EWait::TimedOut;
        if (fds[0].revents != 0)
            return EWait::Stopped;
        std::uint64_t expiries = 0;
        if (::read(static_cast<int>(m_hTimer), &expiries, sizeof expiries) == sizeof expiries) {
            m_bDueAtOnce.store(false);
            return EWait::Expired;
        }
        if (errno == ECANCELED)
            return m_bDueAtOnce.exchange(false) ? EWait::Expired : EWait::ClockChanged;
        // EAGAIN: re-armed between poll and read, which dropped the expiry.
        if (errno != EAGAIN && errno != EINTR)
            return EWait::Failed;
    }
}

bool CWaitableTimer::sleep(std::chrono::milliseconds duration) {
    const auto deadline = deadlineAfter(std::max(duration, std::chrono::milliseconds(0)));
    for (;;) {
        pollfd fd{static_cast<int>(m_hStop), POLLIN, 0};
        const int ready = ::poll(&fd, 1, remainingMs(deadline));
        if (ready > 0)
            return false;
        if (ready == 0 || errno != EINTR)
            return true;
    }
}

void CWaitableTimer::requestStop() {
    // The counter is never read back, so the stop stays signalled for every wait.
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(static_cast<int>(m_hStop), &one, sizeof one);
}

} // namespace MW::Platform
