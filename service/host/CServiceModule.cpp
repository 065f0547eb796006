#include "CServiceModule.h"

#include "CBusServer.h"
#include "CLog.h"
#include "CMorrowick.h"
#include "CSettings.h"
#include "DataFiles.h"
#include "FileOps.h"
#include "FileReplace.h"
#include "Systemd.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sdbus-c++/sdbus-c++.h>

namespace MW::Host {
namespace {

constexpr int kExitFailure = 1;
// How long a stop waits for the cleaner to end; systemd's stop time-out is longer.
constexpr std::chrono::seconds kCleanerStopWait(10);
// Bus failures in a row, with the connection still up, after which the loop gives up.
constexpr int kMaxBusFailures = 100;

const char* busName(EBusType bus) {
    return bus == EBusType::eBT_System ? "system" : "session";
}

} // namespace

CServiceModule::CServiceModule(RunSetup setup)
    : m_setup(std::move(setup)), m_journal(!m_setup.serviceMode),
      m_settings(*CSettings::getInstance()), m_log(*CLog::getInstance()),
      m_cleaner(m_settings, m_log),
      m_power([this](bool suspending) { suspending ? suspendSequence() : resumeSequence(); }) {}

CServiceModule::~CServiceModule() {
    // Whatever way start() ended, the cleaner thread ends before the objects it uses.
    m_cleaner.stop();
}

int CServiceModule::start() {
    notifyServiceManager("STATUS=Starting");
    // Signals are blocked before any other thread exists, so only the loop sees them.
    if (!m_signals.install()) {
        m_journal.report(kJournalNoHandler);
        return kExitFailure;
    }
    if (std::string error = makeDirectories(m_setup.stateDir); !error.empty()) {
        m_journal.error("The state directory is not usable: " + error);
        m_journal.report(kJournalStopped);
        return kExitFailure;
    }
    if (!publish()) {
        m_pBusServer.reset();
        m_pConnection.reset();
        m_journal.report(kJournalStopped);
        return kExitFailure;
    }

    if (std::string error = m_power.open(); !error.empty())
        m_journal.note("Suspend and resume are not watched: no system bus (" + error + ")");
    serviceBody();

    m_loop.add({[this] { return std::vector<pollfd>{m_signals.pollFd()}; }, nullptr,
                [this] { m_signals.dispatch([this](ESignalRequest r) { onSignal(r); }); }});
    m_loop.add({[this] { return m_pBusServer->pollFds(); },
                [this] { return m_pBusServer->pollTimeoutMs(); }, [this] { dispatchBus(); }});
    m_loop.add({[this] { return m_power.pollFds(); }, [this] { return m_power.pollTimeoutMs(); },
                [this] { m_power.dispatch(); }});
    bool ok = m_loop.run();
    if (!m_bStopped) {
        m_journal.error("The service loop failed");
        stopSequence();
    }
    ok = ok && !m_bBusLost && !m_bSaveFailed;

    // Off the bus: the name is released and the objects are gone.
    m_pBusServer.reset();
    m_pConnection.reset();
    m_journal.report(kJournalStopped);
    if (m_bCleanerStuck) {
        // Its thread cannot be joined, and the objects it uses must not be
        // destroyed under it: the process ends here, its settings saved.
        std::fflush(nullptr);
        std::_Exit(kExitFailure);
    }
    return ok ? 0 : kExitFailure;
}

bool CServiceModule::publish() {
    const std::string bus = busName(m_setup.bus);
    try {
        if (!m_setup.busAddress.empty())
            // The bus that started us, reached at the address it gave.
            m_pConnection = sdbus::createSessionBusConnectionWithAddress(m_setup.busAddress);
        else if (m_setup.bus == EBusType::eBT_System)
            m_pConnection = sdbus::createSystemBusConnection();
        else
            m_pConnection = sdbus::createSessionBusConnection();
    } catch (const sdbus::Error& e) {
        m_journal.error("Could not connect to the " + bus + " bus: " + e.getMessage());
        return false;
    }
    try {
        m_pBusServer = std::make_unique<DBus::CBusServer>(
            *m_pConnection, *Objects::getMorrowick(),
            DBus::AuthOptions{m_setup.authEnabled, m_setup.authGroup}, &m_cleaner);
    } catch (const std::exception& e) {
        m_journal.error(std::string("Could not publish the service's objects: ") + e.what());
        return false;
    }
    // Started and ready only once the name is ours: a second instance fails here
    // without having claimed to run.
    try {
        m_pBusServer->requestName();
    } catch (const sdbus::Error& e) {
        m_journal.error("Could not own the name " + std::string(Bus::kServiceName) + " on the " +
                        bus + " bus: " + e.getMessage());
        return false;
    }
    m_journal.report(kJournalStarted);
    notifyServiceManager("READY=1\nSTATUS=Running");
    return true;
}

void CServiceModule::dispatchBus() {
    try {
        m_pBusServer->dispatch();
        m_nBusFailures = 0;
        return;
    } catch (const std::exception& e) {
        // One failed request is no reason to stop; only a lost connection is (or a
        // failure that comes back round after round, which nothing would mend).
        if (++m_nBusFailures < kMaxBusFailures && m_pBusServer->connectionAlive()) {
            m_journal.error(std::string("A bus request failed: ") + e.what());
            logWrite(std::string("CServiceModule::dispatchBus(): ") + e.what());
            return;
        }
        // Without its bus nobody can reach the service: it stops as if asked to.
        m_journal.error(std::string("The bus connection was lost: ") + e.what());
    }
    m_bBusLost = true;
    stopSequence();
}

void CServiceModule::serviceBody() {
    const std::string& dir = m_setup.stateDir;
    // Saves cut short by a kill leave their temporary files behind; only this
    // instance (it owns the bus name) saves here.
    Platform::removeStaleTempFiles(dir);
    m_settings.setScanFolder(m_setup.defaultScanFolder);
    m_settings.loadFromFile(dir + "/settings.mwk");
    m_settings.setUndeletedLog(dir + "/undeleted.tmp");
    // It names files some callers may not see: only those allowed to ask may read it.
    m_cleaner.setPreviewFile(dir + "/preview.tmp", m_setup.authEnabled ? m_setup.authGroup : "");
    m_log.open(dir + "/mwservice.log");
    logWrite("---------- Service started! v. " + std::string(Data::kVersion) + " ----------");

    m_pMorrowick.reset();
    try {
        m_pMorrowick = Objects::getMorrowick();
    } catch (...) {
        logWrite("Failed to create Morrowick CoCreateInstance");
    }
    m_settings.subscribe(eSE_StartTimeChanged, &m_cleaner);
    m_settings.subscribe(eSE_ScanNow, &m_cleaner);
    // Clients hear of every change from here on, the schedule's own included.
    m_settings.subscribePropertyChanges(&m_pBusServer->propertyObserver());
    m_cleaner.setEventDispatcher(m_pMorrowick.get());
    if (m_setup.scanPauseMs)
        m_cleaner.setScanPause(std::chrono::milliseconds(*m_setup.scanPauseMs));
    m_cleaner.start();
    m_cleaner.setTimer();
}

void CServiceModule::stopSequence() {
    if (m_bStopped)
        return;
    m_bStopped = true;
    // The bus server goes after the loop; the record may stay (a stuck cleaner).
    m_settings.unsubscribePropertyChanges(&m_pBusServer->propertyObserver());
    // The cleaner ends first, so that nothing touches the settings record or the
    // log after they are destroyed below. A cleaner stuck in a hung file-system
    // call must not cost the settings: they are saved without it, and everything
    // it may still touch is left in place until the process ends.
    m_bCleanerStuck = !m_cleaner.stop(kCleanerStopWait);
    if (m_bCleanerStuck) {
        m_journal.error("The cleaner did not end within " +
                        std::to_string(kCleanerStopWait.count()) +
                        " s; the settings are saved without waiting for it");
    } else {
        m_cleaner.setEventDispatcher(nullptr);
        m_pMorrowick.reset();
    }
    m_bSaveFailed = !saveSettings();
    if (!m_bCleanerStuck)
        CSettings::destroyInstance();
    logWrite("---------- Service stopped! ----------");
    if (m_bCleanerStuck)
        m_log.flush();
    else
        CLog::destroyInstance();
    notifyServiceManager("STOPPING=1\nSTATUS=Stopping");
    m_loop.quit();
}

bool CServiceModule::saveSettings() {
    const std::error_code error = m_settings.saveToFile();
    if (!error)
        return true;
    // The log has the settings' own entry; the reason goes where an administrator
    // looks first.
    m_journal.error("The settings could not be saved to " + m_settings.getSettingsPath() + ": " +
                    error.message());
    return false;
}

void CServiceModule::suspendSequence() {
    if (m_bStopped)
        return;
    m_cleaner.cancelTimer();
    saveSettings();
    logWrite("---------- Service has been suspended per Hibernate! ----------");
    // The machine may not come back; what the log holds so far should be on disk.
    m_log.flush();
}

void CServiceModule::resumeSequence() {
    if (m_bStopped)
        return;
    logWrite("---------- Service has been resumed per Hibernate! ----------");
    m_cleaner.setTimer();
}

void CServiceModule::onSignal(ESignalRequest request) {
    if (request == ESignalRequest::eSR_Stop)
        stopSequence();
    else
        m_journal.report(kJournalBadRequest);
}

} // namespace MW::Host
