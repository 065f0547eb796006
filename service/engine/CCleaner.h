#pragma once

#include "CNotifier.h"
#include "CThread.h"
#include "Contract.h"
#include "Preview.h"
#include "WaitableTimer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace MW {

namespace Platform {
class CDirectory;
}
class CPreviewList;

// The service's worker: one thread that sleeps on the daily timer and, each time it
// expires, runs a scan cycle (events to the engine, the scan pass over the
// configured folder, totals into the settings) and then arms the timer for the next
// day. Start-time changes and scan-now requests arrive through update() and only
// re-arm the timer. A preview runs the same pass on a caller's thread without
// deleting anything; a cycle that falls due meanwhile waits for it.
class CCleaner : public Common::CThread, public Common::IObserver, public IPreviewer {
public:
    CCleaner();
    ~CCleaner() override;

    // The engine through which the cycle fires its events; null skips the events.
    void setEventDispatcher(IMWEventDispatcher* dispatcher);

    // Arms the timer for StartTime's time of day: today while it is still ahead,
    // tomorrow otherwise. The due date is stored back into StartTime.
    void setTimer();
    // Arms the timer to expire at once.
    void setTimerNow();
    // Disarms the timer; a waiting thread keeps waiting.
    void cancelTimer();
    // Ends the thread and waits for it: a running pass stops at its next entry and
    // the cycle is abandoned with the list closed and the state idle. Idempotent.
    void stop();
    // The same, but waits at most `timeout`: false when the thread has not ended by
    // then (stuck in a call that does not return, such as one on a dead network
    // file system). The thread is then left running and the cleaner must not be
    // destroyed; the process can only end without it.
    bool stop(std::chrono::milliseconds timeout);

    // eSE_StartTimeChanged re-arms for the next start, eSE_ScanNow for at once; both
    // only while no cycle runs. A request made once the cycle has told its clients
    // that it finished is kept and carried out when the cycle has armed the timer.
    // Returns without waiting for the cleaner thread.
    void update(std::int32_t code) override;
    bool isBusy() const override { return m_bBusy.load(); }

    // Where preview() writes its findings, and the group that may read them besides
    // the owner (empty: the owner only). Set before the first preview.
    void setPreviewFile(std::string path, std::string readerGroup);
    // The scan pass over the configured folder, on the calling thread, in a mode
    // that deletes, counts, lists, signals and logs nothing: its findings go to the
    // preview file. Refused (CContractError) while a cycle or another preview runs
    // and once the cleaner is stopping; a stop ends it early with an error.
    SPreviewTotals preview() override;

    // The pause between the scanStarted event and the pass; 5 s unless a test
    // shortens it.
    void setScanPause(std::chrono::milliseconds pause);

    // The scan pass. The cycle runs these on the cleaner thread; they are public so
    // that a pass can be run on its own.
    // Truncates and opens the undeleted-files list named by the settings.
    void openUndeletedList();
    // Appends one path to the list when it is open (and counts it).
    void addUndeleted(std::string_view path);
    // Cleans `folder` and everything below it: deletes each file that passes the
    // file test with `types`/`others` and is older than `minimumAge` days.
    // With `preview`, nothing is deleted: the list learns what would be.
    void scanFolder(const std::string& folder, const std::string& types, const std::string& others,
                    double minimumAge, CPreviewList* preview = nullptr);
    // Publishes the count as the settings' UndeletedCount, resets it and closes the
    // list.
    void closeUndeletedList();

protected:
    void run() override;

private:
    struct SPass;
    // What a pass works on, prepared from the settings as each cycle starts.
    struct SPassInputs {
        std::string folder, types, others;
        double minimumAge = 0;
    };
    static SPassInputs passInputs();

    void runCycle();
    // After a wall-clock change: arms the timer for the due moment StartTime holds.
    void rearmForDueTime();
    void fireEvent(EFireEvent event, std::string_view failurePrefix);
    void scanSubfolder(const Platform::CDirectory& parent, const char* name, SPass& pass);
    void scanEntries(Platform::CDirectory& folder, SPass& pass);
    void cleanFile(const Platform::CDirectory& folder, const char* name, const std::string& path,
                   SPass& pass);

    Platform::CWaitableTimer m_hTimer;
    std::atomic<IMWEventDispatcher*> m_pIMWEventDispatcher{nullptr};
    std::atomic<bool> m_bBusy{false};
    // From scanFinished to the end of the cycle: requests are kept, not dropped.
    std::mutex m_requestMutex;
    bool m_bFinishing = false;
    bool m_bKeptScanNow = false;
    bool m_bKeptStartTime = false;
    std::atomic<bool> m_bStop{false};
    // Set when run() returns.
    std::mutex m_endMutex;
    std::condition_variable m_endSignal;
    bool m_bEnded = false;
    std::atomic<std::int64_t> m_nScanPauseMs{5000};
    // Held by a cycle from its start to its end and by a preview throughout, so
    // that only one pass runs at a time.
    std::mutex m_passMutex;
    // Held by a preview throughout: a stop waits for it (never for the cycle,
    // whose thread may be the one stopping).
    std::timed_mutex m_previewMutex;
    std::string m_strPreviewFile;
    std::string m_strPreviewGroup;
    // The undeleted-files list; touched only by the cleaner thread.
    std::FILE* m_pUndeletedList = nullptr;
    std::int32_t m_nUndeleted = 0;
};

} // namespace MW
