// The daily timer on a Windows waitable timer. An absolute due time follows the
// wall clock by itself (a clock change moves the expiry with it), so waits here
// never end with ClockChanged.

#include "WaitableTimer.h"

#include <algorithm>
#include <system_error>
#include <windows.h>

namespace MW::Platform {
namespace {

// 100-nanosecond units from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochDifference = 116444736000000000LL;
constexpr std::int64_t kUnitsPerSecond = 10000000LL;
HANDLE handle(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

// Stops the timer and takes an expiry nobody waited for: neither stopping nor
// setting a timer clears its signalled state (not under Wine, at least). Once it
// is stopped no new expiry can slip in, so the wait of 0 takes only a stale one.
void stopAndClear(HANDLE timer) {
    ::CancelWaitableTimer(timer);
    ::WaitForSingleObject(timer, 0);
}

// A time-out in the form WaitFor... wants, split into steps below INFINITE.
DWORD stepMs(std::chrono::milliseconds left) {
    if (left.count() <= 0)
        return 0;
    return static_cast<DWORD>(std::min<long long>(left.count(), INFINITE - 1));
}

} // namespace

CWaitableTimer::CWaitableTimer() {
    // A synchronization timer: one wait takes one expiry.
    HANDLE timer = ::CreateWaitableTimerW(nullptr, FALSE, nullptr);
    if (!timer)
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "CreateWaitableTimer");
    HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stop) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(timer);
        throw std::system_error(static_cast<int>(error), std::system_category(), "CreateEvent");
    }
    m_hTimer = reinterpret_cast<std::intptr_t>(timer);
    m_hStop = reinterpret_cast<std::intptr_t>(stop);
}

CWaitableTimer::~CWaitableTimer() {
    ::CloseHandle(handle(m_hTimer));
    ::CloseHandle(handle(m_hStop));
}

bool CWaitableTimer::arm(std::int64_t dueUtc, std::chrono::milliseconds period) {
    // Positive: an absolute time in UTC. A due time before 1601 is simply past.
    LARGE_INTEGER due{};
    due.QuadPart = std::max<std::int64_t>(dueUtc * kUnitsPerSecond + kEpochDifference, 1);
    const auto periodMs = static_cast<LONG>(std::clamp<long long>(period.count(), 0, 0x7FFFFFFF));
    stopAndClear(handle(m_hTimer));
    return ::SetWaitableTimer(handle(m_hTimer), &due, periodMs, nullptr, nullptr, FALSE) != 0;
}

bool CWaitableTimer::cancel() {
    stopAndClear(handle(m_hTimer));
    return true;
}

CWaitableTimer::EWait CWaitableTimer::wait(std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const bool endless = timeout.count() < 0;
    const auto deadline = Clock::now() + (endless ? std::chrono::milliseconds(0) : timeout);
    // The stop event first: it wins when both are signalled.
    const HANDLE handles[2] = {handle(m_hStop), handle(m_hTimer)};
    for (;;) {
        const DWORD ms =
            endless ? INFINITE
                    : stepMs(std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()));
        const DWORD result = ::WaitForMultipleObjects(2, handles, FALSE, ms);
        if (result == WAIT_OBJECT_0)
            return EWait::Stopped;
        if (result == WAIT_OBJECT_0 + 1)
            return EWait::Expired;
        if (result != WAIT_TIMEOUT)
            return EWait::Failed;
        if (!endless && Clock::now() >= deadline)
            return EWait::TimedOut;
    }
}

bool CWaitableTimer::sleep(std::chrono::milliseconds duration) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::max(duration, std::chrono::milliseconds(0));
    for (;;) {
        const DWORD ms =
            stepMs(std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()));
        const DWORD result = ::WaitForSingleObject(handle(m_hStop), ms);
        if (result == WAIT_OBJECT_0)
            return false;
        if (result != WAIT_TIMEOUT || Clock::now() >= deadline)
            return true;
    }
}

void CWaitableTimer::requestStop() {
    // A manual-reset event: it stays signalled for every wait.
    ::SetEvent(handle(m_hStop));
}

} // namespace MW::Platform
