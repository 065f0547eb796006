// mwservice.exe at work: a scan started by a client and followed through its
// sink, a stop in the middle of one, the plain local server of -RegServer, and
// a settings file brought over from the Linux build.

#include "CLog.h"
#include "CSettings.h"
#include "LocalClock.h"
#include "OleDate.h"
#include "ServiceFixture.h"
#include "TestPlatform.h"
#include "Wait.h"

#include <algorithm>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace MW::Test {
namespace {

using namespace std::chrono_literals;

constexpr long kMonth = 30L * 86400;

bool finished(const CRecordingSink& sink) {
    const auto ids = sink.ids();
    return std::find(ids.begin(), ids.end(), 2) != ids.end();
}

TEST_F(Service, ScanNowDeletesOldFilesAndEverySinkStillConnectedFollowsIt) {
    TempDir tree;
    makeFolder(tree / "sub");
    writeFile(tree / "a.bak", std::string(1000, 'a'));
    writeFile(tree / "sub\\b.bak", std::string(2000, 'b'));
    writeFile(tree / "fresh.bak", "new");
    writeFile(tree / "keep.txt", "old");
    for (const char* name : {"a.bak", "sub\\b.bak", "keep.txt"})
        setAge(tree / name, kMonth);
    ASSERT_EQ(verb(L"-Service /quiet"), 0u);
    activate();
    ASSERT_EQ(m_config->put_ScanFolder(CBstr(COM::widen(tree.path())).get()), S_OK);
    ASSERT_EQ(m_config->put_FileTypes(CBstr(L".bak").get()), S_OK);
    ASSERT_EQ(m_config->put_DeleteAge(::eDA_Week), S_OK);
    ASSERT_EQ(m_config->put_CleanedSpace(0), S_OK);
    // A client that connected its sink and ended without disconnecting.
    ASSERT_EQ(run(m_client + L" advise-and-die"), 0u);
    const DWORD cookie = advise(m_sink);
    EXPECT_EQ(cookie, 2u);

    const std::wstring dayBefore = COM::widen(OleDate::formatMDY(Clock::nowLocal()));
    ASSERT_EQ(m_engine->scanNow(), S_OK);
    ASSERT_TRUE(waitUntil([&] { return finished(m_sink); }, 90s));
    const std::wstring dayAfter = COM::widen(OleDate::formatMDY(Clock::nowLocal()));
    const auto calls = m_sink.calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls.front().id, 1);
    EXPECT_EQ(calls.back().id, 2);
    // Running totals, each the total at that moment (the files in any order).
    EXPECT_EQ(calls[1].id, 3);
    EXPECT_EQ(calls[2].id, 3);
    EXPECT_TRUE(calls[1].total == 1000u || calls[1].total == 2000u) << calls[1].total;
    EXPECT_EQ(calls[2].total, 3000u);
    EXPECT_EQ(calls[1].argTypes, std::vector<VARTYPE>{VT_UI8});

    ULONGLONG cleaned = 0;
    LONG undeleted = -1;
    m_config->get_CleanedSpace(&cleaned);
    m_engine->get_UndeletedCount(&undeleted);
    EXPECT_EQ(cleaned, 3000u);
    EXPECT_EQ(undeleted, 0);
    // Idle once the sinks have had scanFinished.
    EXPECT_TRUE(waitUntil([&] {
        ::EActivityState state = ::eAS_Busy;
        m_engine->get_ActivityState(&state);
        return state == ::eAS_Idle;
    }));
    const std::wstring lastScan = text(&IConfig::get_LastScan);
    EXPECT_TRUE(lastScan == dayBefore || lastScan == dayAfter) << COM::narrow(lastScan);
    EXPECT_FALSE(exists(tree / "a.bak"));
    EXPECT_FALSE(exists(tree / "sub\\b.bak"));
    EXPECT_TRUE(exists(tree / "fresh.bak"));
    EXPECT_TRUE(exists(tree / "keep.txt"));
}

TEST_F(Service, AStopDuringAScanSavesAndEndsTheService) {
    TempDir tree;
    writeFile(tree / "a.bak", "a");
    setAge(tree / "a.bak", kMonth);
    ASSERT_EQ(verb(L"-Service /quiet"), 0u);
    activate();
    ASSERT_EQ(m_config->put_ScanFolder(CBstr(COM::widen(tree.path())).get()), S_OK);
    ASSERT_EQ(m_config->put_FileTypes(CBstr(L".bak").get()), S_OK);
    advise(m_sink);
    ASSERT_EQ(m_engine->scanNow(), S_OK);
    ASSERT_TRUE(m_sink.waitForCalls(1));
    // Busy once the sinks have had scanStarted, for the five seconds before the pass.
    EXPECT_TRUE(waitUntil([&] {
        ::EActivityState state = ::eAS_Idle;
        m_engine->get_ActivityState(&state);
        return state == ::eAS_Busy;
    }));
    ASSERT_EQ(m_config->put_ContactName(CBstr(L"Midscan").get()), S_OK);
    m_config.Reset();
    m_engine.Reset();
    stopService();
    EXPECT_NE(readFile(m_dir / "settings.mwk").find(utf16(L"Midscan")), std::string::npos);
    EXPECT_NE(log().find("---------- Service stopped! ----------"), std::string::npos);
}

TEST_F(Service, RegServerMakesAPlainLocalServerThatEndsAndSavesWhenItsClientsAreGone) {
    // In lower case after a slash, the verb works as well.
    ASSERT_EQ(verb(L"/regserver /quiet"), 0u);
    EXPECT_EQ(classesValue(kAppIdKey), L"Morrowick");
    EXPECT_EQ(classesValue(kAppIdKey, L"LocalService"), std::nullopt);
    EXPECT_EQ(classesValue(kEngineKey + L"\\LocalServer32"), L"\"" + m_exe + L"\"");
    EXPECT_EQ(serviceState(), 0u);

    // COM starts the program itself; it serves, and once the last client has let
    // go it saves and ends.
    activate();
    ASSERT_EQ(m_config->put_ContactName(CBstr(L"Plain").get()), S_OK);
    m_config.Reset();
    m_engine.Reset();
    ASSERT_TRUE(waitUntil([&] { return log().find("Service stopped!") != std::string::npos; }, 60s));
    EXPECT_NE(readFile(m_dir / "settings.mwk").find(utf16(L"Plain")), std::string::npos);

    // A verb with more letters is no verb: the program starts (its log says so),
    // finds no client and ends, the registration unchanged.
    ::DeleteFileW((m_dirWide + L"\\mwservice.log").c_str());
    EXPECT_EQ(verb(L"-Services /quiet"), 0u);
    EXPECT_NE(log().find("---------- Service started! v. "), std::string::npos);
    EXPECT_NE(log().find("---------- Service stopped! ----------"), std::string::npos);
    EXPECT_EQ(classesValue(kAppIdKey, L"LocalService"), std::nullopt);
    EXPECT_EQ(serviceState(), 0u);
}

TEST_F(Service, SettingsFromTheLinuxBuildAreServedAndSavedInTheWindowsForm) {
    const std::string data = std::string(MW_TEST_DATA_DIR) + "/";
    writeFile(m_dir / "settings.mwk", readFile(data + "settings-linux.mwk"));
    ASSERT_EQ(verb(L"-Service /quiet"), 0u);
    activate();
    EXPECT_EQ(text(&IConfig::get_ScanFolder), L"C:\\Zeichnungen\\\u010A");
    EXPECT_EQ(text(&IConfig::get_OtherFileTypes), L".tmp \U0001F600");
    EXPECT_EQ(text(&IConfig::get_ContactName), L"\u0D15\u0D0A");
    EXPECT_EQ(text(&IConfig::get_ProxySysBypass), L"<local>");
    ULONGLONG cleaned = 0;
    m_config->get_CleanedSpace(&cleaned);
    EXPECT_EQ(cleaned, (1ULL << 32) + 7);
    // The file's 14:30 with the date the schedule gives it.
    const double served = startTime();
    EXPECT_NEAR(served, dueAt(14, 30).oleDate, 1.0 / 86400);
    m_config.Reset();
    m_engine.Reset();
    stopService();

    // Saved as this build writes the same values: the file of tests/data for
    // Windows, but with the new due date.
    TempDir expected;
    CSettings::destroyInstance();
    CLog::destroyInstance();
    CSettings* settings = CSettings::getInstance();
    writeFile(expected / "settings.mwk", readFile(data + "settings-windows.mwk"));
    settings->loadFromFile(expected / "settings.mwk");
    settings->storeStartTime(served);
    settings->saveToFile();
    EXPECT_EQ(readFile(m_dir / "settings.mwk"), readFile(expected / "settings.mwk"));
    CSettings::destroyInstance();
}

} // namespace
} // namespace MW::Test
