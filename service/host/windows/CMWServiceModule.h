#pragma once
// The process of mwservice.exe when it runs: under the service control manager
// (the AppID names it as LocalService), or as a plain COM local server (started
// by COM after -RegServer). Either way it publishes the engine and Config class
// objects, loads the settings beside the program, opens the log there, starts
// the cleaner with its daily timer and serves until it is stopped.
//
// Threads: the main thread runs the service control dispatcher and with it the
// control handler (stop, shutdown, suspend, resume); the service thread the
// start, the message loop and the end; the cleaner thread the scans; COM's
// worker threads the clients' calls. The sequences that change the module's
// state (body, stop, suspend, resume) run one at a time.

#include "CCleaner.h"
#include "EventLog.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace MW::Objects {
class CMorrowick;
}

namespace MW::Host {

struct ModuleSetup {
    // Where settings.mwk, mwservice.log and undeleted.tmp live; empty: the
    // program's own folder.
    std::wstring dataDir;
    // The pause before each scan (5 s unless a test shortens it).
    std::optional<std::chrono::milliseconds> scanPause;
    // A plain local server ends once no client has held anything of it for this
    // long.
    std::chrono::milliseconds idleTimeout{5000};
};

class CMWServiceModule {
public:
    // The accepted controls: stop, shutdown and power events.
    static constexpr DWORD kControlsAccepted =
        SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_POWEREVENT;

    explicit CMWServiceModule(ModuleSetup setup = {});
    ~CMWServiceModule();
    CMWServiceModule(const CMWServiceModule&) = delete;
    CMWServiceModule& operator=(const CMWServiceModule&) = delete;

    // Runs the program without a verb; returns its exit code.
    int start();

    // What the control handler does with one control (and, for power events, its
    // event type); the answer goes back to the service control manager. Public so
    // that a test can send what Wine's service manager cannot (power events).
    DWORD handleControl(DWORD control, DWORD eventType);

    // The start of the work and its end, for the run sequence and for tests.
    void serviceBody();
    void stopSequence();

    CEventLog& eventLog() { return m_eventLog; }
    CCleaner& cleaner() { return m_cleaner; }
    // The folder of the files (the program's own unless the setup names one).
    const std::wstring& dataDir() const { return m_strDataDir; }
    // True when the cleaner did not end at the stop: the process must end
    // without destroying this module.
    bool cleanerStuck() const { return m_bCleanerStuck; }

private:
    static void WINAPI serviceMain(DWORD argc, LPWSTR* argv);
    static DWORD WINAPI controlHandler(DWORD control, DWORD eventType, LPVOID eventData,
                                       LPVOID context);
    void runAsService();
    HRESULT runSequence();
    void messageLoop();
    void releaseSinks();
    void setServiceStatus(DWORD state);
    void suspendSequence();
    void resumeSequence();
    bool saveSettings();
    // The plain local server's end: no client for the idle time-out.
    bool startIdleMonitor();
    void stopIdleMonitor();
    void idleMonitor();

    ModuleSetup m_setup;
    std::wstring m_strDataDir;
    CEventLog m_eventLog;
    SERVICE_STATUS_HANDLE m_hStatus = nullptr;
    SERVICE_STATUS m_status{};
    bool m_bService = true;
    DWORD m_dwThreadId = 0; // the thread whose message loop the stop ends
    bool m_bComInitialised = false;

    std::mutex m_sequenceMutex;
    bool m_bBodyRun = false;
    bool m_bStopped = false;
    bool m_bCleanerStuck = false;
    DWORD m_dwSaveError = 0; // the stop's failed save, as the exit code

    // The settings record and the log the cleaner works on; they outlive it.
    CSettings& m_settings;
    CLog& m_log;
    CCleaner m_cleaner;
    // The service's own reference to the engine, from the body to the stop.
    std::shared_ptr<Objects::CMorrowick> m_pMorrowick;

    HANDLE m_hIdle = nullptr;        // set when the module's lock count falls to 0
    HANDLE m_hMonitorStop = nullptr; // ends the idle monitor
    std::thread m_monitor;
};

// The program's version from its version resource, "a.b.c.d"; empty when it has
// none.
std::string programVersion();

} // namespace MW::Host
