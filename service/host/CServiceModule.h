#pragma once
// The running service: start-up, the loop, suspend and resume, and the stop.

#include "CCleaner.h"
#include "CMainLoop.h"
#include "CPowerMonitor.h"
#include "CSignalWatch.h"
#include "Journal.h"
#include "RunSetup.h"

#include <memory>
#include <string>

namespace sdbus {
class IConnection;
}

namespace MW::DBus {
class CBusServer;
}

namespace MW::Objects {
class CMorrowick;
}

namespace MW::Host {

class CServiceModule {
public:
    explicit CServiceModule(RunSetup setup);
    ~CServiceModule();
    CServiceModule(const CServiceModule&) = delete;
    CServiceModule& operator=(const CServiceModule&) = delete;

    // Runs the service until it is stopped; returns the program's exit code.
    int start();

private:
    // Puts the objects on the bus and takes the name; false when it cannot.
    bool publish();
    void dispatchBus();
    void serviceBody();
    void stopSequence();
    // Saves the settings; a failure is also reported with its reason. False then.
    bool saveSettings();
    void suspendSequence();
    void resumeSequence();
    void onSignal(ESignalRequest request);

    RunSetup m_setup;
    CJournal m_journal;
    // The process's settings record and log, reached once here and handed down;
    // the stop sequence destroys both, and nothing uses them after it.
    CSettings& m_settings;
    CLog& m_log;
    CCleaner m_cleaner;
    CSignalWatch m_signals;
    CPowerMonitor m_power;
    CMainLoop m_loop;
    std::unique_ptr<sdbus::IConnection> m_pConnection;
    std::unique_ptr<DBus::CBusServer> m_pBusServer;
    // The service's own reference to the engine, held from start to stop.
    std::shared_ptr<Objects::CMorrowick> m_pMorrowick;
    bool m_bStopped = false;
    bool m_bBusLost = false;
    int m_nBusFailures = 0;       // failed dispatches in a row
    bool m_bSaveFailed = false;   // the stop's save: the run ends with failure
    bool m_bCleanerStuck = false; // the cleaner did not end at the stop
};

} // namespace MW::Host
