#pragma once
// The cleaner's daily timer: due at an absolute wall-clock time, repeating with a
// period, together with a stop request that ends any wait. Arming, cancelling and
// the stop request are single calls, safe from any thread while another waits.

#include <atomic>
#include <chrono>
#include <cstdint>

namespace MW::Platform {

class CWaitableTimer {
public:
    enum class EWait {
        Expired,      // the due time came
        ClockChanged, // the wall clock was set; the timer must be armed again
        Stopped,      // requestStop was called
        TimedOut,     // only with a time-out
        Failed,       // the platform refused the wait
    };

    // Throws std::system_error when the platform cannot create the timer.
    CWaitableTimer();
    ~CWaitableTimer();
    CWaitableTimer(const CWaitableTimer&) = delete;
    CWaitableTimer& operator=(const CWaitableTimer&) = delete;

    // Arms the timer for `dueUtc` (seconds since the Unix epoch; a time in the past
    // expires at once, even when the clock is changed before the wait sees it) and
    // every `period` after it. Drops an expiry not yet waited for.
    bool arm(std::int64_t dueUtc, std::chrono::milliseconds period);
    // Disarms the timer; a waiting thread keeps waiting.
    bool cancel();

    // Waits for an expiry, a clock change or the stop request; a negative time-out
    // waits without end.
    EWait wait(std::chrono::milliseconds timeout = std::chrono::milliseconds(-1));
    // Sleeps for `duration` unless a stop is requested first; false when stopped.
    bool sleep(std::chrono::milliseconds duration);

    // Ends every present and future wait and sleep.
    void requestStop();

private:
    std::intptr_t m_hTimer = -1; // platform handles, -1 when absent
    std::intptr_t m_hStop = -1;
    // Armed for a due time already past: a clock change must not swallow that expiry.
    std::atomic<bool> m_bDueAtOnce{false};
};

} // namespace MW::Platform
