#include "CCleaner.h"

#include "CLog.h"
#include "CScanCycle.h"
#include "CSettings.h"
#include "OleDate.h"

#include <array>
#include <cstdio>
#include <utility>

namespace MW {
namespace {

using std::chrono::milliseconds;

constexpr std::int64_t kDay = OleDate::kSecondsPerDay;
constexpr milliseconds kTimerPeriod(86400000);
// How long to back off when the platform refuses a wait, so a broken timer
// cannot spin the thread.
constexpr milliseconds kRetryPause(1000);

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// "prefix%d/%d/%d %d:%d:%d": year, month, day, hour, minute, second, no padding.
std::string timerEntry(const char* prefix, double oleDate) {
    const std::tm tm = OleDate::toTm(oleDate);
    std::array<char, 128> text{};
    std::snprintf(text.data(), text.size(), "%s%d/%d/%d %d:%d:%d", prefix, tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text.data();
}

} // namespace

CCleaner::CCleaner(CSettings& settings, CLog& log)
    : m_settings(settings), m_log(log), m_preview(log) {}

CCleaner::~CCleaner() {
    stop();
}

void CCleaner::setEventDispatcher(IMWEventDispatcher* dispatcher) {
    m_pIMWEventDispatcher.store(dispatcher);
}

void CCleaner::setPreviewFile(std::string path, std::string readerGroup) {
    m_preview.setFile(std::move(path), std::move(readerGroup));
}

void CCleaner::setScanPause(milliseconds pause) {
    m_nScanPauseMs.store(pause.count());
}

void CCleaner::setTimer() {
    const std::int64_t now = OleDate::toWallSeconds(Clock::nowLocal());
    double startTime = m_settings.getStartTime();
    // A start time outside the OLE range (never stored by a client) means midnight.
    if (!OleDate::isInRange(startTime))
        startTime = 0;
    const std::int64_t start = OleDate::toWallSeconds(startTime);
    const std::int64_t timeOfDay = start - floorDiv(start, kDay) * kDay;
    std::int64_t due = floorDiv(now, kDay) * kDay + timeOfDay;
    // The due time is always strictly ahead: a time of day reached today means tomorrow.
    if (now - due >= 0)
        due += kDay;
    const double dueDate = OleDate::fromWallSeconds(due);
    m_settings.storeStartTime(dueDate);
    m_log.write(timerEntry("CCleaner: Timer set to: ", dueDate));
    m_hTimer.arm(Clock::localToUtcNowOffset(dueDate), kTimerPeriod);
}

void CCleaner::rearmForDueTime() {
    // The wall clock was set. The due moment stays what it was, as an absolute
    // timer keeps it: setting the clock back must not bring today's scan back,
    // setting it forward past the due time must not skip the day.
    const double due = m_settings.getStartTime();
    if (!OleDate::isInRange(due))
        return setTimer();
    m_log.write(timerEntry("CCleaner: Timer set to: ", due));
    // Already past by the new clock: due at once (the epoch is past by any clock).
    const std::int64_t dueUtc = due <= Clock::nowLocal() ? 0 : Clock::localToUtcNowOffset(due);
    m_hTimer.arm(dueUtc, kTimerPeriod);
}

void CCleaner::setTimerNow() {
    const double now = Clock::nowLocal();
    m_log.write(timerEntry("CCleaner: TimerNow set to: ", now));
    // Ten seconds in the past: the timer expires at once.
    m_hTimer.arm(Clock::localToUtcNowOffset(now) - 10, kTimerPeriod);
}

void CCleaner::cancelTimer() {
    m_hTimer.cancel();
}

bool CCleaner::stop(milliseconds timeout) {
    m_bStop.store(true);
    m_hTimer.requestStop();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    if (started()) {
        std::unique_lock lock(m_stateMutex);
        if (!m_endSignal.wait_until(lock, deadline, [this] { return m_bEnded; }))
            return false;
        lock.unlock();
        join();
    }
    // A preview on another thread sees the stop at its next entry.
    if (!m_previewMutex.try_lock_until(deadline))
        return false;
    m_previewMutex.unlock();
    return true;
}

void CCleaner::stop() {
    m_bStop.store(true);
    m_hTimer.requestStop();
    join();
    std::lock_guard preview(m_previewMutex);
}

void CCleaner::update(std::int32_t code) {
    {
        std::lock_guard lock(m_stateMutex);
        if (m_bBusy.load()) {
            // A request during a cycle is dropped: the cycle arms the timer when it
            // ends. Once clients were told the scan finished, they may ask again
            // at once, and that request must not be lost.
            if (m_bFinishing) {
                m_bKeptScanNow = m_bKeptScanNow || code == eSE_ScanNow;
                m_bKeptStartTime = m_bKeptStartTime || code == eSE_StartTimeChanged;
            }
            return;
        }
    }
    if (code == eSE_StartTimeChanged)
        setTimer();
    else if (code == eSE_ScanNow)
        setTimerNow();
}

void CCleaner::run() {
    using EWait = Platform::CWaitableTimer::EWait;
    m_log.write("CCleaner: Thread started!");
    while (!m_bStop.load()) {
        m_log.write("CCleaner: Waiting for timer!");
        EWait result = m_hTimer.wait();
        while (result == EWait::Failed && m_hTimer.sleep(kRetryPause))
            result = m_hTimer.wait();
        if (m_bStop.load() || result == EWait::Stopped || result == EWait::Failed)
            break;
        if (result == EWait::ClockChanged) {
            rearmForDueTime();
            continue;
        }
        runScan();
    }
    std::lock_guard lock(m_stateMutex);
    m_bEnded = true;
    m_endSignal.notify_all();
}

SPreviewTotals CCleaner::preview() {
    std::unique_lock running(m_previewMutex, std::try_to_lock);
    if (!running.owns_lock())
        throw CContractError(Bus::kErrorPreviewRunning, "A preview is running already.");
    std::unique_lock pass(m_passMutex, std::try_to_lock);
    if (!pass.owns_lock())
        throw CContractError(Bus::kErrorScanRunning,
                             "A scan is running; a preview can start when it has finished.");
    if (m_bStop.load())
        throw CContractError(Bus::kErrorFailed, "The service is stopping.");
    return m_preview.run(passInputs(m_settings), m_bStop);
}

void CCleaner::runScan() {
    m_bBusy.store(true);
    // A preview under way ends first; requests stay dropped meanwhile (busy).
    std::unique_lock pass(m_passMutex);
    // The log keeps to its size as it is written; a log grown by someone else is
    // caught here.
    m_log.limitSize();
    CScanCycle scan(m_settings, m_log, m_pIMWEventDispatcher.load());
    scan.begin();
    if (m_hTimer.sleep(milliseconds(m_nScanPauseMs.load())))
        scan.clean(passInputs(m_settings), m_bStop);
    scan.closeList();

    if (m_bStop.load()) {
        // Abandoned at service stop: no date and no event for a scan that did not end.
        scan.abandon();
        m_bBusy.store(false);
        return;
    }
    scan.recordDate();
    {
        std::lock_guard lock(m_stateMutex);
        m_bFinishing = true;
    }
    scan.finish();
    setTimer();
    // A finished scan is worth reading at once, not only when the buffer fills.
    m_log.flush();
    bool scanNow = false;
    bool startTime = false;
    {
        std::lock_guard lock(m_stateMutex);
        m_bBusy.store(false);
        m_bFinishing = false;
        std::swap(scanNow, m_bKeptScanNow);
        std::swap(startTime, m_bKeptStartTime);
    }
    if (scanNow)
        setTimerNow();
    else if (startTime)
        setTimer();
}

} // namespace MW
