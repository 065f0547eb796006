// mwservice.exe's registration verbs and its properties, reached from this
// process as a client of the real service.

#include "LocalClock.h"
#include "ServiceFixture.h"
#include "Wait.h"

#include <bit>
#include <cstdint>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace MW::Test {
namespace {

TEST_F(Service, ServiceVerbInstallsAnAutomaticServiceThatCOMStartsAndUnregServerRemovesAll) {
    ASSERT_EQ(verb(L"-Service /quiet"), 0u);
    EXPECT_EQ(classesValue(kAppIdKey), L"Morrowick");
    EXPECT_EQ(classesValue(kAppIdKey, L"LocalService"), L"mwservice");
    EXPECT_EQ(classesValue(kAppIdKey, L"ServiceParameters"), L"-Service");
    EXPECT_EQ(classesValue(kEngineKey, L"AppID"), COM::widen(MW::APPID_Morrowick));
    EXPECT_EQ(classesValue(kEngineKey + L"\\LocalServer32"), L"\"" + m_exe + L"\"");
    EXPECT_EQ(classesValue(L"Morrowick.Morrowick\\CLSID"), COM::widen(MW::CLSID_Morrowick));
    EXPECT_EQ(classesValue(L"Morrowick.Config\\CurVer"), L"Morrowick.Config.1");
    EXPECT_EQ(classesValue(kConfigKey + L"\\LocalServer32", L"ServerExecutable"), m_exe);
    EXPECT_EQ(classesValue(kConfigKey + L"\\TypeLib"), COM::widen(MW::LIBID_mwserviceLib));
    EXPECT_EQ(classesValue(kConfigKey, L"AppID"), std::nullopt);
    EXPECT_TRUE(classesKey(kConfigKey + L"\\Programmable"));
    CBstr library;
    EXPECT_EQ(::QueryPathOfRegTypeLib(::LIBID_mwserviceLib, 1, 0, LOCALE_NEUTRAL, library.put()), S_OK);
    EXPECT_EQ(library.text(), m_exe);

    // The service as the service control manager keeps it.
    const std::wstring serviceKey = L"System\\CurrentControlSet\\Services\\mwservice";
    DWORD start = 0, type = 0, size = sizeof(DWORD);
    ASSERT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, serviceKey.c_str(), L"Start", RRF_RT_REG_DWORD,
                             nullptr, &start, &size),
              ERROR_SUCCESS);
    ::RegGetValueW(HKEY_LOCAL_MACHINE, serviceKey.c_str(), L"Type", RRF_RT_REG_DWORD, nullptr,
                   &type, &size);
    EXPECT_EQ(start, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    wchar_t text[1024];
    size = sizeof text;
    ::RegGetValueW(HKEY_LOCAL_MACHINE, serviceKey.c_str(), L"ImagePath", RRF_RT_REG_SZ, nullptr,
                   text, &size);
    EXPECT_EQ(std::wstring(text), L"\"" + m_exe + L"\"");
    size = sizeof text;
    ::RegGetValueW(HKEY_LOCAL_MACHINE, serviceKey.c_str(), L"ObjectName", RRF_RT_REG_SZ, nullptr,
                   text, &size);
    EXPECT_EQ(std::wstring(text), L"LocalSystem");
    size = sizeof text;
    ::RegGetValueW(HKEY_LOCAL_MACHINE, serviceKey.c_str(), L"DependOnService", RRF_RT_REG_MULTI_SZ,
                   nullptr, text, &size);
    EXPECT_EQ(std::wstring(text, size / sizeof(wchar_t)), std::wstring(L"RPCSS\0\0", 7));
    // Activation starts the service through the service control manager.
    EXPECT_EQ(serviceState(), static_cast<DWORD>(SERVICE_STOPPED));
    activate();
    EXPECT_EQ(serviceState(), static_cast<DWORD>(SERVICE_RUNNING));
    CBstr undeleted;
    ASSERT_EQ(m_engine->get_UndeletedLog(undeleted.put()), S_OK);
    EXPECT_EQ(undeleted.text(), m_dirWide + L"\\undeleted.tmp");
    ASSERT_EQ(m_config->put_ContactName(CBstr(L"Before the reinstall").get()), S_OK);
    m_config.Reset();
    m_engine.Reset();

    // The verb again, in lower case after a slash, on the running service: it is
    // stopped (and saves), deleted and installed anew.
    ASSERT_EQ(verb(L"/service /quiet"), 0u);
    EXPECT_EQ(serviceState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_NE(readFile(m_dir / "settings.mwk").find(utf16(L"Before the reinstall")),
              std::string::npos);
    const std::string log = readFile(m_dir / "mwservice.log");
    EXPECT_EQ(log.find("---------- Service started! v. 0.0.1.73 ----------"), 0u);
    EXPECT_NE(log.find("---------- Service stopped! ----------"), std::string::npos);

    ASSERT_EQ(verb(L"-UnregServer /quiet"), 0u);
    EXPECT_EQ(serviceState(), 0u);
    for (const std::wstring& key : {kAppIdKey, kEngineKey, kConfigKey,
                                    std::wstring(L"Morrowick.Morrowick"),
                                    std::wstring(L"Morrowick.Morrowick.1"),
                                    std::wstring(L"Morrowick.Config"),
                                    std::wstring(L"Morrowick.Config.1"),
                                    L"TypeLib\\" + COM::widen(MW::LIBID_mwserviceLib)})
        EXPECT_FALSE(classesKey(key)) << COM::narrow(key);
    EXPECT_TRUE(classesKey(L"AppID"));
    EXPECT_TRUE(classesKey(L"CLSID"));
}

TEST_F(Service, ClientsShareOneEngineAndReadAndWriteEveryPropertyWhichAStopSaves) {
    ASSERT_EQ(verb(L"-Service /quiet"), 0u);
    activate();
    using Get = HRESULT (STDMETHODCALLTYPE IConfig::*)(BSTR*);
    using Put = HRESULT (STDMETHODCALLTYPE IConfig::*)(BSTR);
    const struct {
        Get get;
        Put put;
        std::wstring value;
    } texts[] = {
        {&IConfig::get_ScanFolder, &IConfig::put_ScanFolder, L"C:\\Pl\u00e4ne"},
        {&IConfig::get_FileTypes, &IConfig::put_FileTypes, L".bak,.dwl"},
        {&IConfig::get_OtherFileTypes, &IConfig::put_OtherFileTypes, L".tmp \U0001F600"},
        {&IConfig::get_LastScan, &IConfig::put_LastScan, L"03/15/24"},
        {&IConfig::get_ContactName, &IConfig::put_ContactName, L"Zo\u00eb"},
        {&IConfig::get_ContactEmail, &IConfig::put_ContactEmail, L"zoe@example.org"},
        {&IConfig::get_ProxyServer, &IConfig::put_ProxyServer, L"proxy.lan"},
        {&IConfig::get_ProxyPort, &IConfig::put_ProxyPort, L"3128"},
        {&IConfig::get_ProxySysServer, &IConfig::put_ProxySysServer, L"sys:8080"},
        {&IConfig::get_ProxySysBypass, &IConfig::put_ProxySysBypass, L"<local>"},
    };
    for (const auto& t : texts)
        ASSERT_EQ((m_config.Get()->*t.put)(CBstr(t.value).get()), S_OK);
    for (const auto& t : texts)
        EXPECT_EQ(text(t.get), t.value);
    // A null text is stored as empty and read as an empty BSTR.
    ASSERT_EQ(m_config->put_ProxySysBypass(nullptr), S_OK);
    EXPECT_EQ(text(&IConfig::get_ProxySysBypass), L"");

    // Stored as it comes, without a range check.
    ASSERT_EQ(m_config->put_DeleteAge(std::bit_cast<::EDeleteAge>(std::int32_t{42})), S_OK);
    ASSERT_EQ(m_config->put_CleanedSpace((1ULL << 32) + 5), S_OK);
    ASSERT_EQ(m_config->put_ProxyUsage(5), S_OK);
    ASSERT_EQ(m_config->put_ProxySysUsage(0), S_OK);
    ASSERT_EQ(m_config->put_ProxySysAccessType(3), S_OK);
    ::EDeleteAge age{};
    ULONGLONG cleaned = 0;
    LONG usage = 0, sysUsage = 1;
    ULONG access = 0;
    m_config->get_DeleteAge(&age);
    m_config->get_CleanedSpace(&cleaned);
    m_config->get_ProxyUsage(&usage);
    m_config->get_ProxySysUsage(&sysUsage);
    m_config->get_ProxySysAccessType(&access);
    EXPECT_EQ(std::bit_cast<std::int32_t>(age), 42);
    EXPECT_EQ(cleaned, (1ULL << 32) + 5);
    EXPECT_EQ(usage, 1);
    EXPECT_EQ(sysUsage, 0);
    EXPECT_EQ(access, 3u);

    // StartTime as a date, and as a text in the service's locale; the service
    // keeps the time of day and gives it the next date it is due.
    const DueTime first = dueTimeAhead(3), second = dueTimeAhead(5);
    CVariant date, asText, notDate;
    date.v.vt = VT_DATE;
    date.v.date = first.oleDate;
    ASSERT_EQ(m_config->put_StartTime(date.v), S_OK);
    EXPECT_NEAR(startTime(), first.oleDate, 1.0 / 86400);
    date.v.date = second.oleDate;
    ASSERT_EQ(::VariantChangeType(&asText.v, &date.v, 0, VT_BSTR), S_OK);
    ASSERT_EQ(m_config->put_StartTime(asText.v), S_OK);
    EXPECT_NEAR(startTime(), second.oleDate, 1.0 / 86400);
    notDate.v.vt = VT_BSTR;
    notDate.v.bstrVal = ::SysAllocString(L"after lunch");
    EXPECT_EQ(m_config->put_StartTime(notDate.v), DISP_E_TYPEMISMATCH);
    EXPECT_NEAR(startTime(), second.oleDate, 1.0 / 86400);
    EXPECT_EQ(m_config->put_ScanFolder(CBstr(L"C:\\" + std::wstring(400, L'x')).get()),
              E_INVALIDARG);
    EXPECT_EQ(text(&IConfig::get_ScanFolder), L"C:\\Pl\u00e4ne");

    // A second client in a process of its own reaches the same engine: its
    // write is read here, and the event it asks for reaches this sink.
    const DWORD cookie = advise(m_sink);
        ASSERT_EQ(run(m_client + L" set-contact Second"), 0u);
    EXPECT_EQ(text(&IConfig::get_ContactName), L"Second");
    ASSERT_EQ(run(m_client + L" fire-test"), 0u);
    ASSERT_TRUE(m_sink.waitForCalls(1));
    EXPECT_EQ(m_sink.ids(), std::vector<DISPID>{4});
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    m_engine.As(&container);
    container->FindConnectionPoint(DIID_IMorrowickEvents, &point);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    point.Reset();
    container.Reset();

    // A stop saves; the next start loads what was written.
    m_config.Reset();
    m_engine.Reset();
    stopService();
    EXPECT_NE(readFile(m_dir / "settings.mwk").find(utf16(L"Second")), std::string::npos);
    activate();
    EXPECT_EQ(text(&IConfig::get_ContactName), L"Second");
    m_config->get_CleanedSpace(&cleaned);
    EXPECT_EQ(cleaned, (1ULL << 32) + 5);
}

TEST_F(Service, PerUserVerbsWriteTheUsersClassesOnlyAndLeaveTheServiceAlone) {
    ASSERT_EQ(verb(L"-Service /quiet"), 0u);
    ASSERT_EQ(verb(L"-RegServerPerUser /quiet"), 0u);
    const auto userKey = [](const std::wstring& key) {
        HKEY handle = nullptr;
        const std::wstring path = L"Software\\Classes\\" + key;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
            return false;
        ::RegCloseKey(handle);
        return true;
    };
    const std::wstring typeLib = L"TypeLib\\" + COM::widen(MW::LIBID_mwserviceLib);
    const std::wstring events = L"Interface\\" + COM::widen(MW::IID_IMorrowickEvents);
    for (const std::wstring& key : {kAppIdKey, kEngineKey, kConfigKey, typeLib, events})
        EXPECT_TRUE(userKey(key)) << COM::narrow(key);
    // The machine's registration and its service stay as they were.
    EXPECT_EQ(serviceState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(classesValue(kAppIdKey, L"LocalService"), L"mwservice");

    ASSERT_EQ(verb(L"-UnregServerPerUser /quiet"), 0u);
    for (const std::wstring& key : {kAppIdKey, kEngineKey, kConfigKey, typeLib, events})
        EXPECT_FALSE(userKey(key)) << COM::narrow(key);
    EXPECT_EQ(serviceState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(classesKey(typeLib));
}

} // namespace
} // namespace MW::Test
