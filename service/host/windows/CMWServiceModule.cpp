#include "CMWServiceModule.h"

#include "CCallerCheck.h"
#include "CLog.h"
#include "CMorrowick.h"
#include "CRegistrar.h"
#include "CSettings.h"
#include "ClassObjects.h"
#include "ComSupport.h"
#include "FileReplace.h"
#include "Journal.h"
#include "TypeLib.h"
#include "Verbs.h"

#include <cstdio>
#include <objbase.h>
#include <pbt.h>
#include <vector>

namespace MW::Host {
namespace {

using namespace std::chrono_literals;

// How long a stop waits for the cleaner, and then for client calls under way.
constexpr auto kCleanerStopWait = 10s;
constexpr auto kCallsStopWait = 10s;
// After the class objects of a plain local server are revoked.
constexpr DWORD kPauseMs = 1000;

CMWServiceModule* g_pModule = nullptr;

std::string formatVersion(const VS_FIXEDFILEINFO& info) {
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", HIWORD(info.dwFileVersionMS),
                  LOWORD(info.dwFileVersionMS), HIWORD(info.dwFileVersionLS),
                  LOWORD(info.dwFileVersionLS));
    return text;
}

std::wstring programDirectory() {
    const std::wstring path = COM::modulePath();
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

} // namespace

std::string programVersion() {
    const std::wstring path = COM::modulePath();
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0)
        return std::string();
    std::vector<BYTE> data(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data()))
        return std::string();
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::string();
    return formatVersion(*info);
}

CMWServiceModule::CMWServiceModule(ModuleSetup setup)
    : m_setup(std::move(setup)),
      m_strDataDir(m_setup.dataDir.empty() ? programDirectory() : m_setup.dataDir),
      m_eventLog(kServiceName), m_settings(*CSettings::getInstance()),
      m_log(*CLog::getInstance()), m_cleaner(m_settings, m_log) {
    m_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    m_status.dwCurrentState = SERVICE_STOPPED;
    m_status.dwControlsAccepted = kControlsAccepted;
    // Not run by the service control manager: the messages also go to the
    // standard streams. start() decides for real.
    m_bService = false;
    m_eventLog.setEcho(true);
}

CMWServiceModule::~CMWServiceModule() {
    stopIdleMonitor();
    // Whatever way the run ended, the cleaner's thread ends before what it uses.
    if (!m_bCleanerStuck)
        m_cleaner.stop();
    if (g_pModule == this)
        g_pModule = nullptr;
}

int CMWServiceModule::start() {
    const SAppIdSettings appId = readAppIdSettings();
    if (appId.error != ERROR_SUCCESS) {
        m_status.dwWin32ExitCode = static_cast<DWORD>(appId.error);
        return static_cast<int>(appId.error);
    }
    COM::CCallerCheck::setGroup(appId.changeGroup);
    m_bService = appId.localService;
    g_pModule = this;
    if (m_bService) {
        m_eventLog.setEcho(false);
        wchar_t name[] = L"mwservice";
        SERVICE_TABLE_ENTRYW table[] = {{name, serviceMain}, {nullptr, nullptr}};
        // Returns when the service has ended. Started by hand, the program is not
        // connected to the service control manager and ends here with its error.
        if (!::StartServiceCtrlDispatcherW(table))
            m_status.dwWin32ExitCode = ::GetLastError();
        return static_cast<int>(m_status.dwWin32ExitCode);
    }
    // A plain local server, on this thread.
    HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr))
        return hr;
    m_bComInitialised = true;
    hr = runSequence();
    ::CoUninitialize();
    m_bComInitialised = false;
    if (SUCCEEDED(hr))
        hr = m_dwSaveError ? HRESULT_FROM_WIN32(m_dwSaveError) : S_OK;
    return hr;
}

void WINAPI CMWServiceModule::serviceMain(DWORD, LPWSTR*) {
    if (g_pModule)
        g_pModule->runAsService();
}

DWORD WINAPI CMWServiceModule::controlHandler(DWORD control, DWORD eventType, LPVOID,
                                              LPVOID context) {
    return static_cast<CMWServiceModule*>(context)->handleControl(control, eventType);
}

void CMWServiceModule::runAsService() {
    m_status.dwCurrentState = SERVICE_START_PENDING;
    m_hStatus = ::RegisterServiceCtrlHandlerExW(kServiceName, controlHandler, this);
    if (!m_hStatus) {
        m_eventLog.report(kJournalNoHandler);
        return;
    }
    setServiceStatus(SERVICE_START_PENDING);
    m_status.dwWin32ExitCode = 0;
    m_status.dwCheckPoint = 0;
    m_status.dwWaitHint = 0;

    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(init)) {
        m_bComInitialised = true;
    } else if (init != RPC_E_CHANGED_MODE || !::GetModuleHandleW(L"Mscoree.dll")) {
        // Without COM nobody could reach the service: it ends, and says why.
        m_status.dwWin32ExitCode = static_cast<DWORD>(init);
        setServiceStatus(SERVICE_STOPPED);
        m_eventLog.report(kJournalStopped);
        return;
    }
    const HRESULT hr = runSequence();
    m_status.dwWin32ExitCode = FAILED(hr) ? static_cast<DWORD>(hr) : m_dwSaveError;
    if (m_bComInitialised) {
        ::CoUninitialize();
        m_bComInitialised = false;
    }
    setServiceStatus(SERVICE_STOPPED);
    m_eventLog.report(kJournalStopped);
}

HRESULT CMWServiceModule::runSequence() {
    m_dwThreadId = ::GetCurrentThreadId();
    // The thread's message queue exists before anyone may post the quit to it.
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    // Every caller is admitted (no security descriptor), but authenticated, so
    // that a call's caller can be told: writes depend on who it is.
    ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_CONNECT,
                           RPC_C_IMP_LEVEL_IDENTIFY, nullptr, EOAC_NONE, nullptr);
    HRESULT hr = COM::registerClassObjects();
    if (FAILED(hr))
        return hr;
    if (!m_bService && !startIdleMonitor()) {
        COM::revokeClassObjects();
        return E_FAIL;
    }
    if (m_bService) {
        m_eventLog.report(kJournalStarted);
        setServiceStatus(SERVICE_RUNNING);
    }
    hr = COM::resumeClassObjects();
    if (FAILED(hr)) {
        stopIdleMonitor();
        COM::revokeClassObjects();
        return hr;
    }
    serviceBody();
    messageLoop();
    stopIdleMonitor();
    // As a service the stop control has done this already; a plain local server
    // ends here, and a loop that failed ends like a stop.
    stopSequence();
    releaseSinks();
    hr = COM::revokeClassObjects();
    if (!m_bService)
        ::Sleep(kPauseMs);
    return hr;
}

void CMWServiceModule::releaseSinks() {
    // Sinks still connected (clients that ended without disconnecting) are
    // proxies: they are let go here, in the apartment, not after COM has ended.
    try {
        const std::shared_ptr<Objects::CMorrowick> engine = Objects::getMorrowick();
        for (const auto& [sink, cookie] : engine->connectionPoint().connections())
            engine->unadvise(cookie);
    } catch (...) {
        // No engine was ever made: nothing is connected.
    }
}

void CMWServiceModule::messageLoop() {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void CMWServiceModule::serviceBody() {
    std::lock_guard lock(m_sequenceMutex);
    if (m_bBodyRun || m_bStopped)
        return;
    m_bBodyRun = true;
    COM::openObjects();
    const std::string dir = COM::narrow(m_strDataDir);
    // Saves cut short by a kill leave their temporary files behind.
    Platform::removeStaleTempFiles(dir);
    // The folder scanned until a settings file says otherwise: the system drive.
    m_settings.setScanFolder("C:\\");
    m_settings.loadFromFile(dir + "\\settings.mwk");
    m_settings.setUndeletedLog(dir + "\\undeleted.tmp");
    m_log.open(dir + "\\mwservice.log");
    logWrite("---------- Service started! v. " + programVersion() + " ----------");

    m_pMorrowick.reset();
    try {
        m_pMorrowick = Objects::getMorrowick();
    } catch (...) {
        logWrite("Failed to create Morrowick CoCreateInstance");
    }
    // The cleaner's wiring: the only place that knows how CCleaner is put
    // together (observer of the settings, event dispatcher, thread, timer); the
    // stop, suspend and resume sequences only stop it and arm or cancel its timer.
    m_settings.subscribe(eSE_StartTimeChanged, &m_cleaner);
    m_settings.subscribe(eSE_ScanNow, &m_cleaner);
    m_cleaner.setEventDispatcher(m_pMorrowick.get());
    if (m_setup.scanPause)
        m_cleaner.setScanPause(*m_setup.scanPause);
    m_cleaner.start();
    m_cleaner.setTimer();
}

void CMWServiceModule::stopSequence() {
    std::lock_guard lock(m_sequenceMutex);
    if (m_bStopped)
        return;
    m_bStopped = true;
    if (m_bBodyRun) {
        // The cleaner ends first, so that nothing touches the settings record or
        // the log after they are destroyed below; a cleaner stuck in a hung file
        // system call must not cost the settings.
        m_bCleanerStuck = !m_cleaner.stop(kCleanerStopWait);
        if (m_bCleanerStuck) {
            m_eventLog.error("The cleaner did not end within 10 s; the settings are saved "
                             "without waiting for it");
        } else {
            m_cleaner.setEventDispatcher(nullptr);
            m_pMorrowick.reset();
        }
        // Clients' calls still under way finish before the record goes; later
        // ones are refused.
        const bool callsEnded = COM::closeObjects(kCallsStopWait);
        if (!callsEnded)
            m_eventLog.error("A client's call did not end within 10 s; the settings are saved "
                             "without waiting for it");
        if (const std::error_code error = m_settings.saveToFile()) {
            m_eventLog.error("The settings could not be saved to " +
                             m_settings.getSettingsPath() + ": " + error.message());
            m_dwSaveError = static_cast<DWORD>(error.value());
        }
        const bool inUse = m_bCleanerStuck || !callsEnded;
        if (!inUse)
            CSettings::destroyInstance();
        logWrite("---------- Service stopped! ----------");
        if (inUse)
            CLog::getInstance()->flush();
        else
            CLog::destroyInstance();
    }
    if (m_bService)
        setServiceStatus(SERVICE_STOP_PENDING);
    if (m_dwThreadId)
        ::PostThreadMessageW(m_dwThreadId, WM_QUIT, 0, 0);
}

void CMWServiceModule::suspendSequence() {
    std::lock_guard lock(m_sequenceMutex);
    if (!m_bBodyRun || m_bStopped)
        return;
    // No scan may start while the machine goes to sleep.
    m_cleaner.cancelTimer();
    if (const std::error_code error = m_settings.saveToFile())
        m_eventLog.error("The settings could not be saved to " + m_settings.getSettingsPath() +
                         ": " + error.message());
    logWrite("---------- Service has been suspended per Hibernate! ----------");
    // The machine may not come back; what the log holds so far should be on disk.
    m_log.flush();
}

void CMWServiceModule::resumeSequence() {
    std::lock_guard lock(m_sequenceMutex);
    if (!m_bBodyRun || m_bStopped)
        return;
    logWrite("---------- Service has been resumed per Hibernate! ----------");
    m_cleaner.setTimer();
}

DWORD CMWServiceModule::handleControl(DWORD control, DWORD eventType) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        stopSequence();
        return NO_ERROR;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
    case SERVICE_CONTROL_INTERROGATE:
    case SERVICE_CONTROL_DEVICEEVENT:
    case SERVICE_CONTROL_HARDWAREPROFILECHANGE:
        return NO_ERROR;
    case SERVICE_CONTROL_POWEREVENT:
        if (eventType == PBT_APMSUSPEND)
            suspendSequence();
        else if (eventType == PBT_APMRESUMEAUTOMATIC)
            resumeSequence();
        return NO_ERROR;
    default:
        // Parameter changes, network bindings and every unknown code.
        m_eventLog.report(kJournalBadRequest);
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void CMWServiceModule::setServiceStatus(DWORD state) {
    m_status.dwCurrentState = state;
    if (m_hStatus)
        ::SetServiceStatus(m_hStatus, &m_status);
}

bool CMWServiceModule::startIdleMonitor() {
    // Idle from the start: a server that no client ever reaches ends as well.
    m_hIdle = ::CreateEventW(nullptr, FALSE, TRUE, nullptr);
    m_hMonitorStop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_hIdle || !m_hMonitorStop)
        return false;
    const HANDLE idle = m_hIdle;
    COM::setModuleIdleHandler([idle] { ::SetEvent(idle); });
    try {
        m_monitor = std::thread([this] { idleMonitor(); });
    } catch (...) {
        COM::setModuleIdleHandler(nullptr);
        return false;
    }
    return true;
}

void CMWServiceModule::stopIdleMonitor() {
    if (m_hMonitorStop)
        ::SetEvent(m_hMonitorStop);
    if (m_monitor.joinable())
        m_monitor.join();
    COM::setModuleIdleHandler(nullptr);
    for (HANDLE* handle : {&m_hIdle, &m_hMonitorStop}) {
        if (*handle)
            ::CloseHandle(*handle);
        *handle = nullptr;
    }
}

void CMWServiceModule::idleMonitor() {
    // CoSuspendClassObjects and its undoing need this thread in the apartment.
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const HANDLE waits[] = {m_hMonitorStop, m_hIdle};
    const DWORD timeout = static_cast<DWORD>(m_setup.idleTimeout.count());
    for (;;) {
        if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            break;
        if (::WaitForSingleObject(m_hMonitorStop, timeout) == WAIT_OBJECT_0)
            break;
        if (COM::moduleLockCount() > 0)
            continue; // a client came back; its last release signals again
        // No new activation from here on; one that came in between keeps it.
        ::CoSuspendClassObjects();
        if (COM::moduleLockCount() > 0) {
            ::CoResumeClassObjects();
            continue;
        }
        ::PostThreadMessageW(m_dwThreadId, WM_QUIT, 0, 0);
        break;
    }
    if (SUCCEEDED(init))
        ::CoUninitialize();
}

} // namespace MW::Host
