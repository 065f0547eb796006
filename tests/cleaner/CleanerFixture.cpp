#include "CleanerFixture.h"

#include "CLog.h"
#include "CScanCycle.h"
#include "CSettings.h"
#include "OleDate.h"
#include "Text.h"

#include <atomic>
#include <cstdlib>
#include <sstream>
#include <thread>
#ifndef _WIN32
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/timex.h>
#include <unistd.h>
#endif

namespace MW::Test {

void CEventRecorder::fireEvent(EFireEvent event) {
    const CSettings* settings = CSettings::getInstance();
    SEvent record;
    record.event = event;
    record.cleanedSpace = settings->getCleanedSpace();
    record.activityState = settings->getActivityState();
    record.undeletedCount = settings->getUndeletedCount();
    record.lastScan = settings->getLastScan();
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(record);
    }
    if (hook)
        hook(event);
}

std::vector<SEvent> CEventRecorder::events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::vector<EFireEvent> CEventRecorder::kinds() const {
    std::vector<EFireEvent> kinds;
    for (const SEvent& e : events())
        kinds.push_back(e.event);
    return kinds;
}

std::size_t CEventRecorder::count(EFireEvent event) const {
    std::size_t n = 0;
    for (const SEvent& e : events())
        n += e.event == event;
    return n;
}

void CleanerTest::SetUp() {
    CSettings::destroyInstance();
    CLog::destroyInstance();
    CLog::getInstance()->open(m_dir / "mwservice.log");
    m_strRoot = m_dir / "Drawings";
    makeFolder(m_strRoot);
    m_strUndeletedPath = m_dir / "undeleted.tmp";
    CSettings::getInstance()->setUndeletedLog(m_strUndeletedPath);
    m_pCleaner = makeCleaner();
    m_pCleaner->setEventDispatcher(&m_recorder);
}

std::unique_ptr<CCleaner> CleanerTest::makeCleaner() {
    return std::make_unique<CCleaner>(*CSettings::getInstance(), *CLog::getInstance());
}

void CleanerTest::TearDown() {
    // The thread uses the settings and the log: end it before they go.
    m_pCleaner.reset();
    Clock::setNowForTesting(nullptr);
    CSettings::destroyInstance();
    CLog::destroyInstance();
}

std::vector<std::string> CleanerTest::logLines() const {
    CLog::getInstance()->flush();
    std::vector<std::string> lines;
    std::istringstream in(fromTextLines(readFile(m_dir / "mwservice.log")));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::size_t CleanerTest::countLines(const std::string& prefix) const {
    std::size_t n = 0;
    for (const std::string& line : logLines())
        n += line.starts_with(prefix);
    return n;
}

void CleanerTest::runPass(const std::string& folder, const std::string& types,
                          const std::string& others, double minimumAge) {
    CScanCycle scan(*CSettings::getInstance(), *CLog::getInstance(), m_pPassDispatcher);
    const std::atomic<bool> stop{false};
    scan.openList();
    scan.clean(SPassInputs{folder, types, others, minimumAge}, stop);
    scan.closeList();
}

std::string CleanerTest::undeletedList() const {
    return readFile(m_strUndeletedPath);
}

void makeFile(const std::string& path, std::size_t size, long secondsAgo) {
    writeFile(path, std::string(size, 'x'));
    setAge(path, secondsAgo);
}

std::string lowered(const std::string& path) {
    return Common::asciiLower(path);
}

#ifndef _WIN32
bool runWithoutCapabilities(std::initializer_list<int> capabilities,
                            const std::function<void()>& body) {
    bool dropped = false;
    // Capabilities belong to each thread, so the test's own thread keeps them.
    std::thread worker([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2]{};
        if (::syscall(SYS_capget, &header, data) != 0)
            return;
        for (const int cap : capabilities)
            data[cap / 32].effective &= ~(1u << (cap % 32));
        if (::syscall(SYS_capset, &header, data) != 0)
            return;
        dropped = true;
        body();
    });
    worker.join();
    return dropped;
}

bool stepClockForward() {
    timex step{};
    step.modes = ADJ_SETOFFSET | ADJ_NANO;
    step.time.tv_sec = 0;
    step.time.tv_usec = 1; // nanoseconds with ADJ_NANO
    return ::clock_adjtime(CLOCK_REALTIME, &step) >= 0;
}

CClockGuard::CClockGuard(bool stepsClock) {
    const char* base = std::getenv("TMPDIR");
    const std::string path = std::string(base && *base ? base : "/tmp") + "/mwtest-clock.lock";
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd >= 0)
        ::flock(m_fd, stepsClock ? LOCK_EX : LOCK_SH);
}

CClockGuard::~CClockGuard() {
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}
#else
// Windows: no capabilities to drop, and a clock change does not disturb its timers.
bool runWithoutCapabilities(std::initializer_list<int>, const std::function<void()>&) {
    return false;
}

bool stepClockForward() {
    return false;
}

CClockGuard::CClockGuard(bool) {}

CClockGuard::~CClockGuard() = default;
#endif

void freezeClock() {
    const std::int64_t now = Clock::nowUtc();
    Clock::setNowForTesting([now] { return now; });
}

} // namespace MW::Test
