// The platform's waitable timer on its own.

#include "CleanerFixture.h"
#include "WaitableTimer.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace MW::Test {
namespace {

using Platform::CWaitableTimer;
using EWait = CWaitableTimer::EWait;
using std::chrono::milliseconds;

constexpr milliseconds kDay(86400000);
// Long enough for an expiry that is due to show on a loaded machine; a wrong
// result here is a timer that fires when it must not, never a slow one.
constexpr milliseconds kQuiet(300);

std::int64_t now() {
    return static_cast<std::int64_t>(::time(nullptr));
}

// The wall clock against the steady one: moves only when someone sets the clock.
std::chrono::microseconds wallOffset() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::system_clock::now().time_since_epoch() -
        std::chrono::steady_clock::now().time_since_epoch());
}

// A wait that must time out. A clock set from outside the test (time synchronisation
// stepping the machine's clock) rightly ends it with ClockChanged; that run proves
// nothing either way, so the case is skipped rather than failed.
#define EXPECT_QUIET(timer)                                                                    \
    do {                                                                                       \
        const auto before = wallOffset();                                                      \
        const EWait result = (timer).wait(kQuiet);                                             \
        if (result == EWait::ClockChanged &&                                                   \
            std::chrono::abs(wallOffset() - before) > std::chrono::microseconds(100))          \
            GTEST_SKIP() << "the system clock was set from outside during the wait";           \
        EXPECT_EQ(result, EWait::TimedOut);                                                    \
    } while (false)

TEST(WaitableTimer, ExpiresForPastDueTimesAndArmingAgainDropsAPendingExpiry) {
    const CClockGuard guard(false);
    CWaitableTimer timer;
    ASSERT_TRUE(timer.arm(now() - 10, kDay));
    EXPECT_EQ(timer.wait(), EWait::Expired);
    // The period is a day: nothing more today.
    EXPECT_QUIET(timer);

    // The epoch itself is a due time, not "disarmed".
    ASSERT_TRUE(timer.arm(0, kDay));
    EXPECT_EQ(timer.wait(), EWait::Expired);

    // An expiry nobody waited for yet is dropped by arming again, or by cancelling.
    ASSERT_TRUE(timer.arm(now() - 10, kDay));
    ASSERT_TRUE(timer.arm(now() + 3600, kDay));
    EXPECT_QUIET(timer);
    ASSERT_TRUE(timer.arm(now() - 10, kDay));
    ASSERT_TRUE(timer.cancel());
    EXPECT_QUIET(timer);
}

TEST(WaitableTimer, StopEndsWaitsAndSleepsFromAnotherThread) {
    CWaitableTimer timer;
    EXPECT_TRUE(timer.sleep(milliseconds(0)));
    EWait result = EWait::Failed;
    std::thread waiter([&] { result = timer.wait(); }); // never armed: waits without end
    std::this_thread::sleep_for(milliseconds(50));
    timer.requestStop();
    waiter.join();
    EXPECT_EQ(result, EWait::Stopped);
    // It stays stopped, also for an armed, expired timer.
    ASSERT_TRUE(timer.arm(now() - 10, kDay));
    EXPECT_EQ(timer.wait(), EWait::Stopped);
    EXPECT_FALSE(timer.sleep(std::chrono::hours(1)));
}

#ifndef _WIN32 // a Windows timer follows a clock change by itself
TEST(WaitableTimer, ClockChangeEndsTheWaitWithoutAnExpiry) {
    const CClockGuard guard(true);
    CWaitableTimer timer;
    ASSERT_TRUE(timer.arm(now() + 3600, kDay));
    if (!stepClockForward())
        GTEST_SKIP() << "this process may not set the clock";
    EXPECT_EQ(timer.wait(), EWait::ClockChanged);
    // Armed again, it waits for its time as before.
    ASSERT_TRUE(timer.arm(now() + 3600, kDay));
    EXPECT_QUIET(timer);

    // A timer armed to expire at once keeps that expiry across a clock change.
    ASSERT_TRUE(timer.arm(now() - 10, kDay));
    ASSERT_TRUE(stepClockForward());
    EXPECT_EQ(timer.wait(), EWait::Expired);
}
#endif

} // namespace
} // namespace MW::Test
