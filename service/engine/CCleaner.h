#pragma once

#include "CNotifier.h"
#include "CPreview.h"
#include "CThread.h"
#include "Contract.h"
#include "Preview.h"
#include "WaitableTimer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace MW {

class CLog;
class CSettings;

// The service's scheduler: one thread that sleeps on the daily timer and, each
// time it expires, runs a scan (CScanCycle) and then arms the timer for the next
// day. Start-time changes and scan-now requests arrive through update() and only
// re-arm the timer. A preview (CPreview) runs the same pass on a caller's thread;
// the scheduler lets one pass run at a time, and a scan that falls due meanwhile
// waits for it.
//
// What the service host does with it, in order: construct it with the settings
// record and the log (both must outlive it), subscribe it to the record's
// eSE_StartTimeChanged and eSE_ScanNow, setEventDispatcher, setPreviewFile,
// start(), setTimer(); cancelTimer()/setTimer() at suspend and resume; stop() at
// the end, before the record and the log go.
class CCleaner : public Common::CThread, public Common::IObserver, public IPreviewer {
public:
    CCleaner(CSettings& settings, CLog& log);
    ~CCleaner() override;

    // The engine through which scans fire their events; null skips the events.
    void setEventDispatcher(IMWEventDispatcher* dispatcher);
    // Where preview() writes its findings, and the group that may read them besides
    // the owner (empty: the owner only). Set before the first preview.
    void setPreviewFile(std::string path, std::string readerGroup);
    // The pause between the scanStarted event and the pass; 5 s unless a test
    // shortens it.
    void setScanPause(std::chrono::milliseconds pause);

    // Arms the timer for StartTime's time of day: today while it is still ahead,
    // tomorrow otherwise. The due date is stored back into StartTime.
    void setTimer();
    // Arms the timer to expire at once.
    void setTimerNow();
    // Disarms the timer; a waiting thread keeps waiting.
    void cancelTimer();
    // Ends the thread and waits for it: a running pass stops at its next entry and
    // the scan is abandoned with the list closed and the state idle. Idempotent.
    void stop();
    // The same, but waits at most `timeout`: false when the thread has not ended by
    // then (stuck in a call that does not return, such as one on a dead network
    // file system). The thread is then left running and the cleaner must not be
    // destroyed; the process can only end without it.
    bool stop(std::chrono::milliseconds timeout);

    // eSE_StartTimeChanged re-arms for the next start, eSE_ScanNow for at once; both
    // only while no scan runs. A request made once the scan has told its clients
    // that it finished is kept and carried out when the scan has armed the timer.
    // Returns without waiting for the cleaner thread.
    void update(std::int32_t code) override;
    bool isBusy() const override { return m_bBusy.load(); }
    // A preview of the configured folder on the calling thread. Refused
    // (CContractError) while a scan or another preview runs and once the cleaner is
    // stopping; a stop ends it early with an error.
    SPreviewTotals preview() override;

protected:
    void run() override;

private:
    void runScan();
    // After a wall-clock change: arms the timer for the due moment StartTime holds.
    void rearmForDueTime();

    CSettings& m_settings;
    CLog& m_log;
    Platform::CWaitableTimer m_hTimer;
    std::atomic<IMWEventDispatcher*> m_pIMWEventDispatcher{nullptr};
    std::atomic<std::int64_t> m_nScanPauseMs{5000};
    std::atomic<bool> m_bBusy{false};
    std::atomic<bool> m_bStop{false};
    // Guards the request flags and the end flag below.
    std::mutex m_stateMutex;
    // From scanFinished to the end of the scan: requests are kept, not dropped.
    bool m_bFinishing = false;
    bool m_bKeptScanNow = false;
    bool m_bKeptStartTime = false;
    // Set, and signalled, when run() returns.
    std::condition_variable m_endSignal;
    bool m_bEnded = false;
    // Held by a scan from its start to its end and by a preview throughout, so
    // that only one pass runs at a time.
    std::mutex m_passMutex;
    // Held by a preview throughout: a stop waits for it (never for the scan,
    // whose thread may be the one stopping).
    std::timed_mutex m_previewMutex;
    CPreview m_preview;
};

} // namespace MW
