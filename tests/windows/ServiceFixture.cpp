#include "ServiceFixture.h"

#include "Wait.h"

namespace MW::Test {

using namespace std::chrono_literals;

const std::wstring kAppIdKey = L"AppID\\" + COM::widen(MW::APPID_Morrowick);
const std::wstring kEngineKey = L"CLSID\\" + COM::widen(MW::CLSID_Morrowick);
const std::wstring kConfigKey = L"CLSID\\" + COM::widen(MW::CLSID_Config);

DWORD run(const std::wstring& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFE;
    if (::WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(process.hProcess, &code);
    else
        ::TerminateProcess(process.hProcess, code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

std::optional<std::wstring> classesValue(const std::wstring& key, const wchar_t* name) {
    wchar_t buffer[1024];
    DWORD size = sizeof buffer;
    if (::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer,
                       &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

bool classesKey(const std::wstring& key) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(handle);
    return true;
}

DWORD serviceState() {
    const SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service = ::OpenServiceW(manager, L"mwservice", SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    const bool known = service && ::QueryServiceStatus(service, &status);
    if (service)
        ::CloseServiceHandle(service);
    ::CloseServiceHandle(manager);
    return known ? status.dwCurrentState : 0;
}

void stopService() {
    const SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service =
        ::OpenServiceW(manager, L"mwservice", SERVICE_STOP | SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    EXPECT_TRUE(::ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_TRUE(waitUntil(
        [&] { return ::QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_STOPPED; },
        60s));
    // A clean stop: the settings were saved.
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
    ::CloseServiceHandle(service);
    ::CloseServiceHandle(manager);
}

std::string utf16(const std::wstring& text) {
    std::string bytes;
    for (const wchar_t c : text)
        bytes += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
}

void Service::SetUp() {
    ASSERT_TRUE(::CopyFileW(MW_SERVICE_EXE, m_exe.c_str(), FALSE));
}

void Service::TearDown() {
    m_config.Reset();
    m_engine.Reset();
    EXPECT_EQ(verb(L"-UnregServer /quiet"), 0u);
    // A plain local server ends on its own once its clients are gone; its files
    // must not be removed under it.
    waitUntil([&] { return !exists(m_dir / "mwservice.log") ||
                           log().find("Service stopped!") != std::string::npos; },
              30s);
}

void Service::activate() {
    ASSERT_EQ(::CoCreateInstance(::CLSID_Morrowick, nullptr, CLSCTX_LOCAL_SERVER, ::IID_IMorrowick,
                                 &m_engine),
              S_OK);
    Microsoft::WRL::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(m_engine->get_Config(&dispatch), S_OK);
    ASSERT_EQ(dispatch.As(&m_config), S_OK);
}

DWORD Service::advise(CRecordingSink& sink) {
    Microsoft::WRL::ComPtr<IConnectionPointContainer> container;
    Microsoft::WRL::ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    EXPECT_EQ(m_engine.As(&container), S_OK);
    EXPECT_EQ(container->FindConnectionPoint(DIID_IMorrowickEvents, &point), S_OK);
    EXPECT_EQ(point->Advise(&sink, &cookie), S_OK);
    return cookie;
}

std::wstring Service::text(HRESULT (STDMETHODCALLTYPE IConfig::*get)(BSTR*)) {
    CBstr value;
    EXPECT_EQ((m_config.Get()->*get)(value.put()), S_OK);
    EXPECT_NE(value.get(), nullptr);
    return value.text();
}

double Service::startTime() {
    CVariant value;
    EXPECT_EQ(m_config->get_StartTime(&value.v), S_OK);
    EXPECT_EQ(value.v.vt, VT_DATE);
    return value.v.date;
}

} // namespace MW::Test
