// Settings files move between the Linux and the Windows build (a Windows
// installation's file copied to Linux, and back). Each build writes the file of
// tests/data named after its platform byte for byte, and loads the other's.

#include "CLog.h"
#include "CSettings.h"
#include "OleDate.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <string>

using MW::CLog;
using MW::CSettings;

namespace {

#ifdef _WIN32
constexpr const char* kOwnFile = "settings-windows.mwk";
constexpr const char* kOtherFile = "settings-linux.mwk";
#else
constexpr const char* kOwnFile = "settings-linux.mwk";
constexpr const char* kOtherFile = "settings-windows.mwk";
#endif

std::string dataFile(const char* name) {
    return std::string(MW_TEST_DATA_DIR) + "/" + name;
}

// Every field, with strings whose UTF-16 bytes hold 0x0A (U+010A), 0D 0A (U+0D15
// U+0D0A) and a surrogate pair.
void fill(CSettings& s) {
    s.setScanFolder("C:\\Zeichnungen\\\xC4\x8A");
    s.setFileTypes(".bak,.dwl,.dwl2");
    s.setOtherFileTypes(".tmp \xF0\x9F\x98\x80");
    s.storeStartTime(45366.604166666664);
    s.setDeleteAge(MW::eDA_None);
    s.setLastScan("03/15/24");
    s.setCleanedSpace((1ULL << 32) + 7);
    s.setContactName("\xE0\xB4\x95\xE0\xB4\x8A");
    s.setContactEmail("a@b.c");
    s.setProxyServer("proxy");
    s.setProxyPort("8080");
    s.setProxyUsage(false);
    s.setProxySysUsage(true);
    s.setProxySysServer("sys:3128");
    s.setProxySysBypass("<local>");
    s.setProxySysAccessType(3);
}

void expectFilled(const CSettings& s) {
    EXPECT_EQ(s.getScanFolder(), "C:\\Zeichnungen\\\xC4\x8A");
    EXPECT_EQ(s.getFileTypes(), ".bak,.dwl,.dwl2");
    EXPECT_EQ(s.getOtherFileTypes(), ".tmp \xF0\x9F\x98\x80");
    EXPECT_EQ(s.getStartTime(), 45366.604166666664);
    EXPECT_EQ(s.getDeleteAge(), MW::eDA_None);
    EXPECT_EQ(s.getLastScan(), "03/15/24");
    EXPECT_EQ(s.getCleanedSpace(), (1ULL << 32) + 7);
    EXPECT_EQ(s.getContactName(), "\xE0\xB4\x95\xE0\xB4\x8A");
    EXPECT_EQ(s.getContactEmail(), "a@b.c");
    EXPECT_EQ(s.getProxyServer(), "proxy");
    EXPECT_EQ(s.getProxyPort(), "8080");
    EXPECT_FALSE(s.getProxyUsage());
    EXPECT_TRUE(s.getProxySysUsage());
    EXPECT_EQ(s.getProxySysServer(), "sys:3128");
    EXPECT_EQ(s.getProxySysBypass(), "<local>");
    EXPECT_EQ(s.getProxySysAccessType(), 3u);
}

class SettingsInterop : public ::testing::Test {
protected:
    void SetUp() override {
        CSettings::destroyInstance();
        CLog::destroyInstance();
        CLog::getInstance()->open(m_dir / "mwservice.log");
    }
    void TearDown() override {
        CSettings::destroyInstance();
        CLog::destroyInstance();
    }
    std::string logText() {
        CLog::getInstance()->flush();
        return MW::Test::readFile(m_dir / "mwservice.log");
    }

    MW::Test::TempDir m_dir;
    std::string m_path = m_dir / "settings.mwk";
};

TEST_F(SettingsInterop, WritesThisPlatformsFileByteForByte) {
    CSettings* settings = CSettings::getInstance();
    settings->loadFromFile(m_path); // no file yet: written with the defaults
    fill(*settings);
    settings->saveToFile();
    const std::string written = MW::Test::readFile(m_path);
    ASSERT_TRUE(MW::Test::exists(dataFile(kOwnFile))) << "missing " << dataFile(kOwnFile);
    EXPECT_EQ(written, MW::Test::readFile(dataFile(kOwnFile)));
    EXPECT_EQ(logText(), "");
}

TEST_F(SettingsInterop, LoadsTheOtherPlatformsFileAndSavesItInItsOwnForm) {
    MW::Test::writeFile(m_path, MW::Test::readFile(dataFile(kOtherFile)));
    CSettings* settings = CSettings::getInstance();
    settings->loadFromFile(m_path);
    expectFilled(*settings);
    EXPECT_EQ(logText(), "");
    settings->saveToFile();
    EXPECT_EQ(MW::Test::readFile(m_path), MW::Test::readFile(dataFile(kOwnFile)));
}

} // namespace
