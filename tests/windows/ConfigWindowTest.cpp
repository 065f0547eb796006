// The real mwconfig.exe against the real mwservice.exe, both in the test's Wine
// prefix on a virtual X server: the values shown, a change reaching the service,
// a scan followed through the events to the notification and its list, the
// single instance and the exit statuses. The windows are driven from this
// process as another program would (FindWindow, SendMessage); screenshots go to
// <build>/screenshots/windows/.

#include "ConfigDriver.h"
#include "ServiceFixture.h"
#include "Wait.h"

#include <filesystem>
#include <fstream>

namespace MW::Test {
namespace {

using namespace std::chrono_literals;

constexpr int kFolder = 1002, kOtherTypes = 1020, kBak = 1010, kDwl = 1011, kFzb = 1019;
constexpr int kAgeWeek = 1005, kAgeYear = 1009, kLastScan = 1024, kCleaned = 1025;
constexpr int kScanNow = 1022, kName = 1026, kEmail = 1027, kNotifyText = 1032, kList = 1034;

class ConfigWindow : public Service {
protected:
    void SetUp() override {
        Service::SetUp();
        ASSERT_EQ(verb(L"-Service /quiet"), 0u);
        activate();
        m_log = m_dirWide + L"\\messages.log";
    }
    void TearDown() override {
        m_app.end();
        Service::TearDown();
    }
    void put(HRESULT (STDMETHODCALLTYPE IConfig::*set)(BSTR), const std::wstring& value) {
        CBstr text(value);
        ASSERT_EQ((m_config.Get()->*set)(text.get()), S_OK);
    }
    std::string messages() { return readFile(m_dir / "messages.log"); }

    std::wstring m_log;
    CConfigProcess m_app;
};

TEST_F(ConfigWindow, ShowsTheServicesValuesAndAChangeReachesTheService) {
    const std::wstring folder = m_dirWide + L"\\drawings";
    std::filesystem::create_directory(std::filesystem::path(folder));
    put(&IConfig::put_ScanFolder, folder);
    put(&IConfig::put_FileTypes, L".dwl2,.fzb");
    put(&IConfig::put_OtherFileTypes, L".tmp");
    put(&IConfig::put_ContactName, L"Zo\u00eb");
    put(&IConfig::put_ContactEmail, L"zoe@example.com");
    ASSERT_EQ(m_config->put_DeleteAge(::eDA_Year), S_OK);
    ASSERT_EQ(m_config->put_CleanedSpace(1572864), S_OK);

    const HWND main = m_app.start(L"", m_log);
    ASSERT_NE(main, nullptr) << messages();
    EXPECT_TRUE(waitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 30s));
    EXPECT_EQ(itemText(main, kFolder), folder) << messages();
    // ".dwl2" also checks ".dwl", as the service's own test of a type does.
    EXPECT_TRUE(checked(main, kDwl));
    EXPECT_TRUE(checked(main, kFzb));
    EXPECT_FALSE(checked(main, kBak));
    EXPECT_TRUE(checked(main, kAgeYear));
    EXPECT_EQ(itemText(main, kOtherTypes), L".tmp");
    EXPECT_EQ(itemText(main, kName), L"Zo\u00eb");
    EXPECT_EQ(itemText(main, kEmail), L"zoe@example.com");
    EXPECT_EQ(itemText(main, kCleaned), L"1.50");
    EXPECT_EQ(itemText(main, kLastScan), text(&IConfig::get_LastScan));
    saveScreenshot(main, "mwconfig-1-overview");
    selectNextTab(main);
    saveScreenshot(main, "mwconfig-2-settings");
    selectNextTab(main);
    saveScreenshot(main, "mwconfig-3-contact");

    // The user ticks ".bak", picks a week, and minimises: the window hides and saves.
    ::SendMessageW(control(main, kBak), BM_SETCHECK, BST_CHECKED, 0);
    ::SendMessageW(control(main, kAgeYear), BM_SETCHECK, BST_UNCHECKED, 0);
    ::SendMessageW(control(main, kAgeWeek), BM_SETCHECK, BST_CHECKED, 0);
    ::SendMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(::IsWindowVisible(main));
    EXPECT_EQ(text(&IConfig::get_FileTypes), L".bak,.dwl,.dwl2,.fzb");
    ::EDeleteAge age{};
    ASSERT_EQ(m_config->get_DeleteAge(&age), S_OK);
    EXPECT_EQ(age, ::eDA_Week);
    // Values the user left alone are not written back.
    EXPECT_EQ(text(&IConfig::get_ScanFolder), folder);
    EXPECT_EQ(messages(), "");
}

TEST_F(ConfigWindow, ScanNowUpdatesTheOverviewAndAnnouncesTheFileItCouldNotDelete) {
    const std::filesystem::path tree = std::filesystem::path(m_dirWide) / "tree";
    std::filesystem::create_directories(tree / "sub");
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 30);
    for (const char* name : {"a.bak", "sub/b.bak", "kept.bak"}) {
        std::ofstream(tree / name, std::ios::binary) << std::string(1048576, 'x');
        std::filesystem::last_write_time(tree / name, old);
    }
    // A read-only file is kept and listed.
    const std::wstring kept = (tree / "kept.bak").wstring();
    ASSERT_TRUE(::SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_READONLY));
    put(&IConfig::put_ScanFolder, tree.wstring());
    put(&IConfig::put_FileTypes, L".bak");
    ASSERT_EQ(m_config->put_DeleteAge(::eDA_Day), S_OK);
    ASSERT_EQ(m_config->put_CleanedSpace(0), S_OK);

    const HWND main = m_app.start(L"", m_log);
    ASSERT_NE(main, nullptr) << messages();
    EXPECT_TRUE(waitUntil([&] { return itemText(main, kCleaned) == L"0.00"; }, 30s))
        << itemText(main, kCleaned);
    ::PostMessageW(control(main, kScanNow), BM_CLICK, 0, 0);

    const HWND popup = waitForWindowWith(kNotifyText, 90s);
    ASSERT_NE(popup, nullptr) << messages();
    EXPECT_EQ(itemText(popup, kNotifyText), L"There is an undeleted file. Left click for details.");
    EXPECT_EQ(itemText(main, kCleaned), L"2.00");
    EXPECT_FALSE(text(&IConfig::get_LastScan).empty());
    EXPECT_EQ(itemText(main, kLastScan), text(&IConfig::get_LastScan));
    EXPECT_TRUE(::IsWindowEnabled(control(main, kScanNow)));
    saveScreenshot(popup, "mwconfig-5-notification");

    ::PostMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    const HWND list = waitForWindowWith(kList, 30s);
    ASSERT_NE(list, nullptr);
    const HWND box = ::GetDlgItem(list, kList);
    ASSERT_EQ(::SendMessageW(box, LB_GETCOUNT, 0, 0), 1);
    wchar_t entry[1024] = {};
    ::SendMessageW(box, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(entry));
    EXPECT_NE(std::wstring(entry).find(L"kept.bak"), std::wstring::npos) << entry;
    saveScreenshot(list, "mwconfig-6-undeleted-list");
    ::PostMessageW(list, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(waitUntil([&] { return !::IsWindowVisible(popup); }, 30s));
    EXPECT_EQ(messages(), "");
}

TEST_F(ConfigWindow, ProxyDialog) {
    const HWND main = m_app.start(L"", m_log);
    ASSERT_NE(main, nullptr) << messages();
    selectNextTab(main);
    ::PostMessageW(control(main, 1036), BM_CLICK, 0, 0);
    const HWND proxy = waitForWindowWith(1039, 30s);
    ASSERT_NE(proxy, nullptr);
    // The service's defaults: a proxy, the system's. The system box is enabled
    // with the proxy flag, the edits only without the system's proxy.
    long useProxy = 0, useSystem = 0;
    ASSERT_EQ(m_config->get_ProxyUsage(&useProxy), S_OK);
    ASSERT_EQ(m_config->get_ProxySysUsage(&useSystem), S_OK);
    EXPECT_EQ(checked(proxy, 1039), useProxy != 0);
    EXPECT_EQ(checked(proxy, 1046), useSystem != 0);
    EXPECT_EQ(::IsWindowEnabled(::GetDlgItem(proxy, 1046)) != FALSE, useProxy != 0);
    EXPECT_EQ(::IsWindowEnabled(::GetDlgItem(proxy, 1037)) != FALSE, useProxy && !useSystem);
    // Unticking the proxy disables both.
    ::SendMessageW(::GetDlgItem(proxy, 1039), BM_SETCHECK, BST_UNCHECKED, 0);
    ::SendMessageW(proxy, WM_COMMAND, MAKEWPARAM(1039, BN_CLICKED), 0);
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(proxy, 1046)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(proxy, 1037)));
    ::SendMessageW(::GetDlgItem(proxy, 1039), BM_SETCHECK, useProxy ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SendMessageW(proxy, WM_COMMAND, MAKEWPARAM(1039, BN_CLICKED), 0);
    saveScreenshot(proxy, "mwconfig-4-proxy");
    ::PostMessageW(proxy, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(waitUntil([&] { return !::IsWindow(proxy); }, 30s));
    // Cancel sends nothing.
    long after = 0;
    ASSERT_EQ(m_config->get_ProxyUsage(&after), S_OK);
    EXPECT_EQ(after, useProxy);
}

TEST_F(ConfigWindow, ASecondStartShowsTheFirstWindowAndEndsWithZero) {
    const HWND main = m_app.start(L"/hidefoo", m_log);
    ASSERT_NE(main, nullptr) << messages();
    // "/hide" anywhere, followed by further letters too, starts in the tray only.
    EXPECT_FALSE(::IsWindowVisible(main));
    EXPECT_EQ(runConfig(L""), 0u);
    EXPECT_TRUE(waitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 30s));
}

TEST_F(ConfigWindow, ExitStatuses) {
    HWND main = m_app.start(L"", m_log);
    ASSERT_NE(main, nullptr);
    ::PostMessageW(main, WM_COMMAND, 32776, 0); // "Exit" in the tray menu
    EXPECT_EQ(m_app.waitForExit(), static_cast<DWORD>(-1));

    main = m_app.start(L"", m_log);
    ASSERT_NE(main, nullptr);
    ::PostMessageW(main, WM_CLOSE, 0, 0); // a close request from another program
    EXPECT_EQ(m_app.waitForExit(), static_cast<DWORD>(-3));

    // Escape and Enter neither close nor hide the window.
    main = m_app.start(L"", m_log);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(waitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 30s));
    ::PostMessageW(main, WM_COMMAND, IDCANCEL, 0);
    ::PostMessageW(main, WM_COMMAND, IDOK, 0);
    ::SendMessageW(main, WM_NULL, 0, 0);
    EXPECT_TRUE(::IsWindowVisible(main));
    ::PostMessageW(main, WM_COMMAND, 32776, 0);
    EXPECT_EQ(m_app.waitForExit(), static_cast<DWORD>(-1));
    EXPECT_EQ(messages(), "");

    // No service to reach: one message, then -2.
    m_config.Reset();
    m_engine.Reset();
    ASSERT_EQ(verb(L"-UnregServer /quiet"), 0u);
    m_app.start(L"", m_log, false);
    EXPECT_EQ(m_app.waitForExit(), static_cast<DWORD>(-2));
    EXPECT_EQ(messages(), "Error!\tFailed to connect to service. Terminating the program.\n");
}

} // namespace
} // namespace MW::Test
