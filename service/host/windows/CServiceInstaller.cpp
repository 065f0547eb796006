#include "CServiceInstaller.h"

#include <chrono>
#include <thread>
#include <windows.h>

namespace MW::Host {
namespace {

using namespace std::chrono_literals;

// How long a removal waits for the running service to end: its stop waits at
// most 10 s for the cleaner, and saving takes a moment.
constexpr auto kStopWait = 30s;
// How long an installation waits for a deleted service to leave the manager
// (it stays marked for deletion while a handle to it is open).
constexpr auto kDeleteWait = 10s;
constexpr auto kPoll = 100ms;

class CServiceHandle {
public:
    explicit CServiceHandle(SC_HANDLE handle = nullptr) : m_h(handle) {}
    ~CServiceHandle() {
        if (m_h)
            ::CloseServiceHandle(m_h);
    }
    CServiceHandle(const CServiceHandle&) = delete;
    CServiceHandle& operator=(const CServiceHandle&) = delete;
    SC_HANDLE get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }

private:
    SC_HANDLE m_h;
};

bool waitUntilStopped(SC_HANDLE service) {
    const auto deadline = std::chrono::steady_clock::now() + kStopWait;
    SERVICE_STATUS status{};
    while (::QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

} // namespace

CServiceInstaller::CServiceInstaller(std::wstring serviceName, std::wstring programPath,
                                     const CVerbMessages& messages)
    : m_strName(std::move(serviceName)), m_strProgram(std::move(programPath)),
      m_messages(messages) {}

bool CServiceInstaller::isInstalled() const {
    const CServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager)
        return false;
    const CServiceHandle service(
        ::OpenServiceW(manager.get(), m_strName.c_str(), SERVICE_QUERY_CONFIG));
    return static_cast<bool>(service);
}

bool CServiceInstaller::install() const {
    if (isInstalled())
        return true;
    if (m_strProgram.empty() || m_strProgram.size() >= MAX_PATH)
        return false;
    const std::wstring image = L"\"" + m_strProgram + L"\"";
    const CServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        m_messages.show(L"Could not open Service Manager");
        return false;
    }
    // A service deleted a moment ago may still be marked for deletion.
    const auto deadline = std::chrono::steady_clock::now() + kDeleteWait;
    for (;;) {
        const CServiceHandle service(::CreateServiceW(
            manager.get(), m_strName.c_str(), m_strName.c_str(), SERVICE_ALL_ACCESS,
            SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, image.c_str(),
            nullptr, nullptr, L"RPCSS\0", nullptr, nullptr));
        if (service)
            return true;
        if (::GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE ||
            std::chrono::steady_clock::now() > deadline)
            break;
        std::this_thread::sleep_for(kPoll);
    }
    m_messages.show(L"Could not start service");
    return false;
}

bool CServiceInstaller::uninstall() const {
    if (!isInstalled())
        return true;
    const CServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        m_messages.show(L"Could not open Service Manager");
        return false;
    }
    const CServiceHandle service(::OpenServiceW(manager.get(), m_strName.c_str(),
                                                SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service) {
        m_messages.show(L"Could not open service");
        return false;
    }
    SERVICE_STATUS status{};
    if (::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        // Deleted while it still runs, the service would stay marked for deletion
        // and a new installation would fail: its stop (and save) comes first.
        waitUntilStopped(service.get());
    } else {
        const DWORD error = ::GetLastError();
        if (error != ERROR_SERVICE_NOT_ACTIVE && error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL)
            m_messages.show(L"Could not stop service");
        else if (error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL)
            waitUntilStopped(service.get());
    }
    if (!::DeleteService(service.get())) {
        m_messages.show(L"Could not delete service");
        return false;
    }
    return true;
}

} // namespace MW::Host
