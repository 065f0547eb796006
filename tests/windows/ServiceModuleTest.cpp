// The service module in this process: its control handler gets the controls
// Wine's service manager cannot send (power events, unsupported codes), and the
// body works on a temporary folder.

#include "CLog.h"
#include "CMWServiceModule.h"
#include "CSettings.h"
#include "ComSupport.h"
#include "OleDate.h"
#include "TempDir.h"
#include "TestPlatform.h"
#include "Wait.h"

#include <ctime>
#include <gtest/gtest.h>
#include <pbt.h>
#include <string>
#include <vector>

using MW::CSettings;
using MW::Host::CMWServiceModule;
using MW::Test::exists;
using MW::Test::readFile;
using MW::Test::TempDir;

namespace {

std::string utf16(const std::string& ascii) {
    std::string bytes;
    for (const char c : ascii)
        bytes += std::string{c, '\0'};
    return bytes;
}

// Index of the first line at or after `from` that starts with `text`; -1 if none.
int findLine(const std::vector<std::string>& lines, const std::string& text, int from = 0) {
    for (int i = std::max(from, 0); i < static_cast<int>(lines.size()); ++i)
        if (lines[i].rfind(text, 0) == 0)
            return i;
    return -1;
}

std::vector<std::string> logLines(const std::string& path) {
    std::vector<std::string> lines;
    std::string line;
    for (const char c : readFile(path)) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    return lines;
}

class ServiceModule : public ::testing::Test {
protected:
    void SetUp() override {
        CSettings::destroyInstance();
        MW::CLog::destroyInstance();
        m_module = std::make_unique<CMWServiceModule>(MW::Host::ModuleSetup{
            MW::COM::widen(m_dir.path()), std::chrono::milliseconds(0), {}});
        m_module->eventLog().setEcho(true, [this](std::string_view text) {
            m_events.emplace_back(text);
        });
    }
    void TearDown() override {
        m_module.reset();
        CSettings::destroyInstance();
        MW::CLog::destroyInstance();
    }
    TempDir m_dir;
    std::unique_ptr<CMWServiceModule> m_module;
    std::vector<std::string> m_events;
};

TEST_F(ServiceModule, UnsupportedControlsAreBadRequestsAndTheOthersChangeNothing) {
    for (const DWORD control : {SERVICE_CONTROL_PAUSE, SERVICE_CONTROL_CONTINUE,
                                SERVICE_CONTROL_INTERROGATE, SERVICE_CONTROL_DEVICEEVENT,
                                SERVICE_CONTROL_HARDWAREPROFILECHANGE})
        EXPECT_EQ(m_module->handleControl(control, 0), static_cast<DWORD>(NO_ERROR)) << control;
    EXPECT_TRUE(m_events.empty());
    const std::vector<DWORD> bad{SERVICE_CONTROL_PARAMCHANGE, 7, 8, 9, 10, 0, 14, 200};
    for (const DWORD control : bad)
        EXPECT_EQ(m_module->handleControl(control, 0),
                  static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED))
            << control;
    EXPECT_EQ(m_events, std::vector<std::string>(bad.size(), "Bad service request"));
    // Nothing was started, so nothing was written.
    EXPECT_FALSE(exists(m_dir / "settings.mwk"));
}

TEST_F(ServiceModule, SuspendCancelsTheDueScanAndSavesResumeRearmsAndStopSaves) {
    TempDir tree;
    MW::Test::writeFile(tree / "old.bak", "o");
    MW::Test::setAge(tree / "old.bak", 30 * 86400);
    m_module->serviceBody();
    ASSERT_TRUE(exists(m_dir / "settings.mwk")); // the defaults, written at the first start
    CSettings* settings = CSettings::getInstance();
    settings->setScanFolder(tree.path());
    settings->setFileTypes(".bak");
    settings->setContactName("Sleepy");
    // Due in three seconds, and the machine goes to sleep now.
    const std::time_t due = std::time(nullptr) + 3;
    std::tm local{};
    ::localtime_s(&local, &due);
    settings->setStartTime(MW::OleDate::fromTm(local));
    EXPECT_EQ(m_module->handleControl(SERVICE_CONTROL_POWEREVENT, PBT_APMSUSPEND),
              static_cast<DWORD>(NO_ERROR));
    EXPECT_NE(readFile(m_dir / "settings.mwk").find(utf16("Sleepy")), std::string::npos);

    // Well past the due time nothing was scanned; a resume from a suspend the
    // user caused alone changes nothing.
    EXPECT_FALSE(MW::Test::waitUntil(
        [&] { return std::time(nullptr) > due + 2 && !exists(tree / "old.bak"); },
        std::chrono::seconds(6)));
    EXPECT_TRUE(exists(tree / "old.bak"));
    EXPECT_EQ(m_module->handleControl(SERVICE_CONTROL_POWEREVENT, PBT_APMRESUMESUSPEND),
              static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(m_module->handleControl(SERVICE_CONTROL_POWEREVENT, PBT_APMRESUMEAUTOMATIC),
              static_cast<DWORD>(NO_ERROR));

    settings->setContactName("Stopped");
    EXPECT_EQ(m_module->handleControl(SERVICE_CONTROL_STOP, 0), static_cast<DWORD>(NO_ERROR));
    EXPECT_NE(readFile(m_dir / "settings.mwk").find(utf16("Stopped")), std::string::npos);
    const auto log = logLines(m_dir / "mwservice.log");
    const int suspended =
        findLine(log, "---------- Service has been suspended per Hibernate! ----------");
    const int resumed =
        findLine(log, "---------- Service has been resumed per Hibernate! ----------");
    ASSERT_GT(suspended, 0);
    ASSERT_GT(resumed, suspended);
    EXPECT_EQ(findLine(log, "---------- Service has been resumed", resumed + 1), -1);
    EXPECT_GT(findLine(log, "CCleaner: Timer set to: ", resumed), resumed);
    EXPECT_GT(findLine(log, "---------- Service stopped! ----------", resumed), resumed);
    EXPECT_EQ(findLine(log, "CCleaner: Starting the scanning process!"), -1);
}

} // namespace
