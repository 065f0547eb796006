// The cleaner thread: scan cycles, the daily timer, requests while busy, and the
// end of the thread.

#include "CLog.h"
#include "CSettings.h"
#include "CleanerFixture.h"
#include "OleDate.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <future>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>

namespace MW::Test {
namespace {

using std::chrono::milliseconds;

// Whether `expected` occurs in `lines` in this order, each matched as a prefix.
bool inOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
    auto at = lines.begin();
    for (const std::string& prefix : expected) {
        at = std::find_if(at, lines.end(),
                          [&](const std::string& l) { return l.starts_with(prefix); });
        if (at == lines.end())
            return false;
        ++at;
    }
    return true;
}

class CCleanerCycleTest : public CleanerTest {
protected:
    void SetUp() override {
        m_pClockGuard = std::make_unique<CClockGuard>(false);
        CleanerTest::SetUp();
        CSettings* settings = CSettings::getInstance();
        settings->setScanFolder(m_strRoot);
        settings->setFileTypes(".bak,.dwl");
        settings->setDeleteAge(eDA_Day);
        settings->subscribe(eSE_StartTimeChanged, m_pCleaner.get());
        settings->subscribe(eSE_ScanNow, m_pCleaner.get());
        m_pCleaner->setScanPause(milliseconds(0));
    }

    void TearDown() override {
        CleanerTest::TearDown();
        m_pClockGuard.reset();
    }

    void startAndWait() {
        const std::size_t waits = countLines("CCleaner: Waiting for timer!");
        m_pCleaner->start();
        ASSERT_TRUE(waitUntil([&] { return countLines("CCleaner: Waiting for timer!") > waits; }));
    }

    // Waits until `cycles` cycles have ended and the thread waits again. (A clock
    // change made by another test re-arms the timer and adds entries of its own, so
    // entries are searched, not counted.)
    bool waitForCycles(std::size_t cycles) {
        return waitUntil([&] {
            if (m_recorder.count(eFE_ScanFinished) != cycles || m_pCleaner->isBusy())
                return false;
            const auto log = logLines();
            const auto finished =
                std::find(log.rbegin(), log.rend(), "CCleaner: Scanning finished!");
            return std::find(log.rbegin(), finished, "CCleaner: Waiting for timer!") != finished;
        });
    }

    std::unique_ptr<CClockGuard> m_pClockGuard;
};

TEST_F(CCleanerCycleTest, ScanNowRunsOneCycleWithItsEventsStatesAndEntries) {
    CSettings* settings = CSettings::getInstance();
    makeFile(m_strRoot + "/a.bak", 3, kOld);
    makeFile(m_strRoot + "/kept.dwl", 2, kOld);
    setReadOnly(m_strRoot + "/kept.dwl");
    startAndWait();
    const std::string dayBefore = OleDate::formatMDY(Clock::nowLocal());

    settings->notifyScanNow();
    ASSERT_TRUE(waitForCycles(1));
    const std::string dayAfter = OleDate::formatMDY(Clock::nowLocal());

    const auto events = m_recorder.events();
    ASSERT_EQ(m_recorder.kinds(),
              (std::vector<EFireEvent>{eFE_ScanStarted, eFE_UpdateCleanedSpace, eFE_ScanFinished}));
    // scanStarted: still idle, count reset. scanFinished: still busy, results in place.
    EXPECT_EQ(events[0].activityState, eAS_Idle);
    EXPECT_EQ(events[0].undeletedCount, 0);
    EXPECT_EQ(events[1].activityState, eAS_Busy);
    EXPECT_EQ(events[2].activityState, eAS_Busy);
    EXPECT_EQ(events[2].undeletedCount, 1);
    EXPECT_TRUE(events[2].lastScan == dayBefore || events[2].lastScan == dayAfter);
    EXPECT_EQ(settings->getActivityState(), eAS_Idle);
    EXPECT_EQ(undeletedList(), textLines(lowered(m_strRoot) + kSeparator + "kept.dwl\n"));
    EXPECT_FALSE(exists(m_strRoot + "/a.bak"));

    const auto log = logLines();
    EXPECT_TRUE(inOrder(
        log, {"CCleaner: Thread started!", "CCleaner: Waiting for timer!",
              "CCleaner: TimerNow set to: ", "CCleaner: Starting the scanning process!",
              "Scanning !" + m_strRoot, "File has been deleted: ", "CCleaner: Scanning finished!",
              "Last scan time: " + events[2].lastScan, "Cleaned space: 3",
              "CCleaner: Timer set to: ", "CCleaner: Waiting for timer!"}));
    // The next due time is the next regular one, within a day.
    const double next = settings->getStartTime();
    EXPECT_GT(next, Clock::nowLocal());
    EXPECT_LE(next, Clock::nowLocal() + 1.0);
}

TEST_F(CCleanerCycleTest, RequestsDuringACycleAreDroppedWithoutWaiting) {
    CSettings* settings = CSettings::getInstance();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> inEvent{false};
    m_recorder.hook = [&](EFireEvent event) {
        if (event == eFE_ScanStarted) {
            inEvent = true;
            released.wait();
        }
    };
    startAndWait();
    settings->notifyScanNow();
    ASSERT_TRUE(waitUntil([&] { return inEvent.load(); }));
    EXPECT_TRUE(m_pCleaner->isBusy());

    // Both return at once although the cleaner thread is held up.
    settings->notifyScanNow();
    settings->setStartTime(settings->getStartTime() + 0.25);
    EXPECT_EQ(countLines("CCleaner: TimerNow set to: "), 1u);
    EXPECT_EQ(countLines("CCleaner: Timer set to: "), 0u);

    release.set_value();
    ASSERT_TRUE(waitForCycles(1));
    EXPECT_EQ(m_recorder.count(eFE_ScanStarted), 1u);
    EXPECT_EQ(countLines("CCleaner: TimerNow set to: "), 1u);
    // The first due time is the cycle's own, set at its end.
    const auto log = logLines();
    const auto firstTimer = std::find_if(log.begin(), log.end(), [](const std::string& line) {
        return line.starts_with("CCleaner: Timer set to: ");
    });
    EXPECT_GT(firstTimer - std::find(log.begin(), log.end(), "CCleaner: Scanning finished!"), 0);

    // Idle again: a new start time re-arms, the same one changes nothing.
    const std::size_t timers = countLines("CCleaner: Timer set to: ");
    settings->setStartTime(settings->getStartTime() + 0.125);
    EXPECT_EQ(countLines("CCleaner: Timer set to: "), timers + 1);
    settings->setStartTime(settings->getStartTime());
    EXPECT_EQ(countLines("CCleaner: Timer set to: "), timers + 1);
}

TEST_F(CCleanerCycleTest, ScanNowAfterScanFinishedRunsEvenBeforeTheCycleHasEnded) {
    CSettings* settings = CSettings::getInstance();
    // The request arrives in the last steps of the cycle: clients were told the scan
    // finished and the state is idle, but the cycle has not armed its timer yet.
    // The totals entry reads the clock there, so the clock is where it is sent from.
    std::atomic<bool> sent{false};
    Clock::setNowForTesting([&] {
        const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count();
        if (!sent && m_recorder.count(eFE_ScanFinished) == 1 &&
            settings->getActivityState() == eAS_Idle && m_pCleaner->isBusy()) {
            sent = true;
            std::thread client([&] { settings->notifyScanNow(); });
            client.join();
        }
        return now;
    });
    startAndWait();
    settings->notifyScanNow();
    ASSERT_TRUE(waitUntil([&] { return m_recorder.count(eFE_ScanFinished) >= 1; }));
    ASSERT_TRUE(waitUntil([&] { return sent.load(); }));
    EXPECT_TRUE(waitUntil([&] { return m_recorder.count(eFE_ScanStarted) == 2; }, 20));
    EXPECT_TRUE(waitForCycles(2));
    EXPECT_EQ(countLines("CCleaner: TimerNow set to: "), 2u);
}

TEST_F(CCleanerCycleTest, ALogPastItsLimitIsMovedAsideBeforeTheScan) {
    startAndWait();
    CLog::getInstance()->flush();
    // Grown while the service ran, for example by an earlier scan.
    {
        std::ofstream grow(m_dir / "mwservice.log", std::ios::app | std::ios::binary);
        grow << std::string(CLog::kMaxSize, 'g') << '\n';
    }
    CSettings::getInstance()->notifyScanNow();
    ASSERT_TRUE(waitForCycles(1));
    const auto log = logLines();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "CCleaner: Starting the scanning process!");
    const std::string previous = readFile(m_dir / "mwservice.log.1");
    EXPECT_GT(previous.size(), static_cast<std::size_t>(CLog::kMaxSize));
    EXPECT_EQ(previous.rfind("CCleaner: Thread started!", 0), 0u);
}

TEST_F(CCleanerCycleTest, EmptyTypeListsStillCompleteTheCycle) {
    CSettings* settings = CSettings::getInstance();
    settings->setFileTypes("");
    settings->setOtherFileTypes(" \t ");
    makeFile(m_strRoot + "/a.bak", 1, kOld);
    startAndWait();

    settings->notifyScanNow();
    ASSERT_TRUE(waitForCycles(1));

    EXPECT_EQ(m_recorder.kinds(), (std::vector<EFireEvent>{eFE_ScanStarted, eFE_ScanFinished}));
    EXPECT_TRUE(exists(m_strRoot + "/a.bak"));
    EXPECT_EQ(countLines("Scanning !"), 0u);
    EXPECT_TRUE(inOrder(logLines(), {"CCleaner: Scanning finished!", "Last scan time: ",
                                     "Cleaned space: 0", "CCleaner: Timer set to: "}));
    EXPECT_FALSE(settings->getLastScan().empty());
}

TEST_F(CCleanerCycleTest, FailingEventsAreLoggedAndTheCycleGoesOn) {
    int cycle = 0;
    m_recorder.hook = [&](EFireEvent event) {
        if (event == eFE_ScanStarted && ++cycle == 1)
            throw CContractError(Bus::kErrorFailed, "gone");
        if (event == eFE_ScanStarted)
            throw 42;
        throw std::runtime_error("scanFinished fails too"); // not examined, not logged
    };
    makeFile(m_strRoot + "/a.bak", 1, kOld);
    startAndWait();

    CSettings::getInstance()->notifyScanNow();
    ASSERT_TRUE(waitForCycles(1));
    CSettings::getInstance()->notifyScanNow();
    ASSERT_TRUE(waitForCycles(2));

    const std::string prefix =
        "CCleaner::run(): m_pIMWEventDispatcher->fireEvent( eFE_ScanStarted ) failed: ";
    EXPECT_TRUE(inOrder(logLines(), {prefix + "COM ERROR!", "File has been deleted: ",
                                     "CCleaner: Scanning finished!", prefix + "Caught ... error.",
                                     "CCleaner: Scanning finished!"}));
    EXPECT_EQ(countLines(prefix), 2u);
    // The outcome of scanFinished is not examined: nothing names it.
    for (const std::string& line : logLines())
        EXPECT_EQ(line.find("eFE_ScanFinished"), std::string::npos) << line;
    EXPECT_EQ(countLines("m_pIMWEventDispatcher->fireEvent( eFE_UpdateCleanedSpace ) failed: "
                         "Caught ... error."),
              1u);
}

TEST_F(CCleanerCycleTest, TimerFiresAtTheStartTimeAndIsSetForTheNextDay) {
    CSettings* settings = CSettings::getInstance();
    makeFile(m_strRoot + "/a.bak", 1, kOld);
    // A few seconds ahead (tomorrow's date when that passes midnight is fine: only
    // the time of day counts).
    const double start = OleDate::fromWallSeconds(OleDate::toWallSeconds(Clock::nowLocal()) + 4);
    settings->storeStartTime(start);
    m_pCleaner->start();
    m_pCleaner->setTimer();
    ASSERT_EQ(OleDate::toWallSeconds(settings->getStartTime()), OleDate::toWallSeconds(start))
        << "the machine took more than four seconds between two statements";

    ASSERT_TRUE(waitForCycles(1));
    EXPECT_FALSE(exists(m_strRoot + "/a.bak"));
    EXPECT_EQ(OleDate::toWallSeconds(settings->getStartTime()),
              OleDate::toWallSeconds(start) + OleDate::kSecondsPerDay);
}

#ifndef _WIN32 // a Windows timer follows a clock change by itself; these step the clock
TEST_F(CCleanerCycleTest, ClockChangeReArmsTheTimerInsteadOfScanning) {
    m_pClockGuard.reset();
    m_pClockGuard = std::make_unique<CClockGuard>(true);
    CSettings* settings = CSettings::getInstance();
    settings->storeStartTime(Clock::nowLocal() + 0.5); // half a day ahead
    startAndWait();
    m_pCleaner->setTimer();
    const double due = settings->getStartTime();

    if (!stepClockForward())
        GTEST_SKIP() << "this process may not set the clock";
    ASSERT_TRUE(waitUntil([&] {
        return countLines("CCleaner: Timer set to: ") >= 2 &&
               countLines("CCleaner: Waiting for timer!") >= 2;
    }));
    EXPECT_EQ(countLines("CCleaner: Starting the scanning process!"), 0u);
    EXPECT_TRUE(m_recorder.events().empty());
    EXPECT_EQ(settings->getStartTime(), due);
}

std::int64_t realNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

TEST_F(CCleanerCycleTest, ClockSetBackAfterTodaysScanKeepsTheDueDate) {
    m_pClockGuard.reset();
    m_pClockGuard = std::make_unique<CClockGuard>(true);
    CSettings* settings = CSettings::getInstance();
    // Today's scan ran an hour ago: the next one is due tomorrow at that time.
    settings->storeStartTime(Clock::utcToLocalNowOffset(realNow() - 3600));
    startAndWait();
    m_pCleaner->setTimer();
    const double due = settings->getStartTime();
    ASSERT_GT(due, Clock::nowLocal() + 0.9);

    // The clock is set back two hours, before the time of today's scan.
    Clock::setNowForTesting([] { return realNow() - 7200; });
    if (!stepClockForward())
        GTEST_SKIP() << "this process may not set the clock";
    ASSERT_TRUE(waitUntil([&] { return countLines("CCleaner: Timer set to: ") >= 2; }));
    EXPECT_EQ(settings->getStartTime(), due);
    EXPECT_FALSE(waitUntil([&] { return m_recorder.count(eFE_ScanStarted) > 0; },
                           std::chrono::milliseconds(1500)))
        << "today's scan ran a second time";
}

TEST_F(CCleanerCycleTest, ClockSetForwardPastTheDueTimeScansAtOnce) {
    m_pClockGuard.reset();
    m_pClockGuard = std::make_unique<CClockGuard>(true);
    CSettings* settings = CSettings::getInstance();
    makeFile(m_strRoot + "/a.bak", 1, kOld);
    // Due in an hour.
    settings->storeStartTime(Clock::utcToLocalNowOffset(realNow() + 3600));
    startAndWait();
    m_pCleaner->setTimer();
    const double due = settings->getStartTime();
    ASSERT_LT(due, Clock::nowLocal() + 0.1);

    // The clock is set two hours forward, past the due time: the day's scan runs.
    Clock::setNowForTesting([] { return realNow() + 7200; });
    if (!stepClockForward())
        GTEST_SKIP() << "this process may not set the clock";
    ASSERT_TRUE(waitUntil([&] { return m_recorder.count(eFE_ScanFinished) == 1; }, 20));
    EXPECT_FALSE(exists(m_strRoot + "/a.bak"));
    // Then the next one is due a day after the missed one.
    ASSERT_TRUE(waitForCycles(1));
    EXPECT_EQ(OleDate::toWallSeconds(settings->getStartTime()),
              OleDate::toWallSeconds(due) + OleDate::kSecondsPerDay);
}
#endif

TEST_F(CCleanerCycleTest, StopEndsTheThreadWhereverItIs) {
    // While waiting for the timer.
    startAndWait();
    m_pCleaner->stop();
    m_pCleaner->stop(); // again: nothing left to do

    // In the pause before the pass, which would otherwise last an hour.
    CSettings::getInstance()->unsubscribe(eSE_StartTimeChanged, m_pCleaner.get());
    CSettings::getInstance()->unsubscribe(eSE_ScanNow, m_pCleaner.get());
    m_pCleaner = makeCleaner();
    m_pCleaner->setEventDispatcher(&m_recorder);
    m_pCleaner->setScanPause(std::chrono::hours(1));
    startAndWait();
    m_pCleaner->setTimerNow();
    ASSERT_TRUE(waitUntil([&] { return m_recorder.count(eFE_ScanStarted) == 1; }));
    m_pCleaner->stop();
    EXPECT_FALSE(m_pCleaner->isBusy());
    EXPECT_EQ(CSettings::getInstance()->getActivityState(), eAS_Idle);
    EXPECT_EQ(countLines("Scanning !"), 0u);
}

TEST_F(CCleanerCycleTest, StopDuringThePassEndsItAtTheNextEntry) {
    for (int i = 0; i < 20; ++i)
        makeFile(m_strRoot + "/f" + std::to_string(i) + ".bak", 1, kOld);
    // Asked from the cleaner thread itself, inside the first deletion's event, so
    // that the pass is certainly running.
    m_recorder.hook = [&](EFireEvent event) {
        if (event == eFE_UpdateCleanedSpace)
            m_pCleaner->stop();
    };
    startAndWait();
    m_pCleaner->setTimerNow();
    ASSERT_TRUE(waitUntil([&] { return m_recorder.count(eFE_UpdateCleanedSpace) >= 1; }));
    m_pCleaner->stop();

    CSettings* settings = CSettings::getInstance();
    EXPECT_EQ(m_recorder.kinds(),
              (std::vector<EFireEvent>{eFE_ScanStarted, eFE_UpdateCleanedSpace}));
    EXPECT_EQ(countLines("File has been deleted: "), 1u);
    EXPECT_EQ(countLines("CCleaner: Scanning finished!"), 0u);
    EXPECT_EQ(settings->getActivityState(), eAS_Idle);
    EXPECT_TRUE(settings->getLastScan().empty());
    EXPECT_FALSE(m_pCleaner->isBusy());
}

} // namespace
} // namespace MW::Test
