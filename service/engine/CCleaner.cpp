#include "CCleaner.h"

#include "CLog.h"
#include "CSettings.h"
#include "CleaningRules.h"
#include "OleDate.h"

#include <array>
#include <cmath>
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

CCleaner::CCleaner() = default;

CCleaner::~CCleaner() {
    stop();
    if (m_pUndeletedList)
        std::fclose(m_pUndeletedList);
}

void CCleaner::setEventDispatcher(IMWEventDispatcher* dispatcher) {
    m_pIMWEventDispatcher.store(dispatcher);
}

void CCleaner::setScanPause(milliseconds pause) {
    m_nScanPauseMs.store(pause.count());
}

void CCleaner::setTimer() {
    CSettings* settings = CSettings::getInstance();
    const std::int64_t now = OleDate::toWallSeconds(Clock::nowLocal());
    double startTime = settings->getStartTime();
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
    settings->storeStartTime(dueDate);
    logWrite(timerEntry("CCleaner: Timer set to: ", dueDate));
    m_hTimer.arm(Clock::localToUtcNowOffset(dueDate), kTimerPeriod);
}

void CCleaner::rearmForDueTime() {
    // The wall clock was set. The due moment stays what it was, as an absolute
    // timer keeps it: setting the clock back must not bring today's scan back,
    // setting it forward past the due time must not skip the day.
    const double due = CSettings::getInstance()->getStartTime();
    if (!OleDate::isInRange(due))
        return setTimer();
    logWrite(timerEntry("CCleaner: Timer set to: ", due));
    // Already past by the new clock: due at once (the epoch is past by any clock).
    const std::int64_t dueUtc = due <= Clock::nowLocal() ? 0 : Clock::localToUtcNowOffset(due);
    m_hTimer.arm(dueUtc, kTimerPeriod);
}

void CCleaner::setTimerNow() {
    const double now = Clock::nowLocal();
    logWrite(timerEntry("CCleaner: TimerNow set to: ", now));
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
        std::unique_lock lock(m_endMutex);
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

CCleaner::SPassInputs CCleaner::passInputs() {
    const CSettings* settings = CSettings::getInstance();
    SPassInputs inputs;
    const std::string otherFileTypes = settings->getOtherFileTypes();
    inputs.types = Rules::prepareTypeList(settings->getFileTypes(), otherFileTypes);
    inputs.others = Rules::prepareOtherList(otherFileTypes);
    inputs.minimumAge = settings->getDeleteAgeSpan();
    inputs.folder = settings->getScanFolder();
    return inputs;
}

void CCleaner::update(std::int32_t code) {
    {
        std::lock_guard lock(m_requestMutex);
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
    logWrite("CCleaner: Thread started!");
    while (!m_bStop.load()) {
        logWrite("CCleaner: Waiting for timer!");
        EWait result = m_hTimer.wait();
        while (result == EWait::Failed && m_hTimer.sleep(kRetryPause))
            result = m_hTimer.wait();
        if (m_bStop.load() || result == EWait::Stopped || result == EWait::Failed)
            break;
        if (result == EWait::ClockChanged) {
            rearmForDueTime();
            continue;
        }
        runCycle();
    }
    std::lock_guard lock(m_endMutex);
    m_bEnded = true;
    m_endSignal.notify_all();
}

void CCleaner::runCycle() {
    CSettings* settings = CSettings::getInstance();
    m_bBusy.store(true);
    // A preview under way ends first; requests stay dropped meanwhile (busy).
    std::unique_lock pass(m_passMutex);
    // A scan can write an entry per file: the size rule applies before each one.
    CLog::getInstance()->limitSize();
    logWrite("CCleaner: Starting the scanning process!");
    openUndeletedList();
    settings->setUndeletedCount(m_nUndeleted);
    fireEvent(eFE_ScanStarted,
              "CCleaner::run(): m_pIMWEventDispatcher->fireEvent( eFE_ScanStarted ) failed: ");
    // Clients handling scanStarted still see the idle state.
    settings->setActivityState(eAS_Busy);

    if (m_hTimer.sleep(milliseconds(m_nScanPauseMs.load()))) {
        const SPassInputs inputs = passInputs();
        if (!inputs.types.empty())
            scanFolder(inputs.folder, inputs.types, inputs.others, inputs.minimumAge);
    }
    closeUndeletedList();

    if (m_bStop.load()) {
        // Abandoned at service stop: no date and no event for a scan that did not end.
        settings->setActivityState(eAS_Idle);
        m_bBusy.store(false);
        return;
    }
    settings->setLastScan(OleDate::formatMDY(Clock::nowLocal()));
    {
        std::lock_guard lock(m_requestMutex);
        m_bFinishing = true;
    }
    // Clients handling scanFinished still see the busy state.
    fireEvent(eFE_ScanFinished, {});
    settings->setActivityState(eAS_Idle);
    logWrite("CCleaner: Scanning finished!");
    logWrite("Last scan time: " + OleDate::formatMDY(Clock::nowLocal()) +
             "\nCleaned space: " + std::to_string(settings->getCleanedSpace()));
    setTimer();
    // A finished scan is worth reading at once, not only when the buffer fills.
    CLog::getInstance()->flush();
    bool scanNow = false;
    bool startTime = false;
    {
        std::lock_guard lock(m_requestMutex);
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

void CCleaner::fireEvent(EFireEvent event, std::string_view failurePrefix) {
    IMWEventDispatcher* dispatcher = m_pIMWEventDispatcher.load();
    if (!dispatcher)
        return;
    // An empty prefix: the caller does not examine the outcome.
    try {
        dispatcher->fireEvent(event);
    } catch (const CContractError&) {
        if (!failurePrefix.empty())
            logWrite(std::string(failurePrefix) + "COM ERROR!");
    } catch (...) {
        if (!failurePrefix.empty())
            logWrite(std::string(failurePrefix) + "Caught ... error.");
    }
}

} // namespace MW
