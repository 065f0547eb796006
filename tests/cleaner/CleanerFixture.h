#pragma once

// Shared set-up of the cleaner tests: a fresh settings record and log in a temporary
// folder, an in-process engine that records the events it is given, and file helpers.

#include "CCleaner.h"
#include "Contract.h"
#include "TempDir.h"
#include "Wait.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace MW::Test {

// An event as the engine received it, with the settings a client would read then.
struct SEvent {
    EFireEvent event = eFE_None;
    std::uint64_t cleanedSpace = 0;
    std::int32_t activityState = -1;
    std::int32_t undeletedCount = -1;
    std::string lastScan;
};

// The engine side of IMWEventDispatcher, recording each call; `hook` runs after the
// record is taken and may throw or block, as a real engine's broadcast can.
class CEventRecorder : public IMWEventDispatcher {
public:
    void fireEvent(EFireEvent event) override;
    std::vector<SEvent> events() const;
    std::vector<EFireEvent> kinds() const;
    std::size_t count(EFireEvent event) const;

    std::function<void(EFireEvent)> hook;

private:
    mutable std::mutex m_mutex;
    std::vector<SEvent> m_events;
};

class CleanerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The log so far, one element per line.
    std::vector<std::string> logLines() const;
    std::size_t countLines(const std::string& prefix) const;
    // Runs a pass with a fresh list, as a scan does, and publishes the count.
    void runPass(const std::string& folder, const std::string& types,
                 const std::string& others = "", double minimumAge = 1.0);
    std::string undeletedList() const;

    // A cleaner on the test's settings record and log.
    std::unique_ptr<CCleaner> makeCleaner();

    TempDir m_dir;
    std::string m_strRoot;          // the folder the tests clean, created by SetUp
    std::string m_strUndeletedPath; // the settings' UndeletedLog
    CEventRecorder m_recorder;
    // Where runPass fires its events; null: nowhere.
    IMWEventDispatcher* m_pPassDispatcher = &m_recorder;
    std::unique_ptr<CCleaner> m_pCleaner;
};

// Creates a file of `size` bytes whose last write lies `secondsAgo` in the past.
void makeFile(const std::string& path, std::size_t size, long secondsAgo);
std::string lowered(const std::string& path);

// Runs `body` on a thread of its own without the given capabilities (CAP_*), so
// that permission checks apply to it as to an ordinary user's process. Returns
// false when the capabilities could not be dropped.
bool runWithoutCapabilities(std::initializer_list<int> capabilities,
                            const std::function<void()>& body);

// Steps the wall clock one nanosecond forward: a clock change as far as the kernel's
// timers are concerned, too small for anything else to notice, and never backwards.
// False when the process may not set the clock.
bool stepClockForward();

// Serialises, across test processes, the tests that step the clock (exclusive) with
// the tests whose timers a step would wake (shared).
class CClockGuard {
public:
    explicit CClockGuard(bool stepsClock);
    ~CClockGuard();
    CClockGuard(const CClockGuard&) = delete;
    CClockGuard& operator=(const CClockGuard&) = delete;

private:
    int m_fd = -1;
};

// Freezes the service's clock at the present moment.
void freezeClock();

inline constexpr long kOld = 3 * 86400; // older than a one-day minimum age
inline constexpr long kYoung = 3600;    // younger than it

} // namespace MW::Test
