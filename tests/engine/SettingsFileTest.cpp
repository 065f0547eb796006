#include "CLog.h"
#include "CSettings.h"
#include "OleDate.h"
#include "TempDir.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

using MW::CLog;
using MW::CSettings;
using MW::Test::textLines;
using namespace std::string_literals;

namespace {

// 2024-03-15 12:00:00 UTC.
constexpr std::int64_t kNow = 1710504000;

// The items after the start time in a file holding the defaults.
const std::string kDefaultTail = " 1 0  0 0  0  0  0  1 1 0  0  0\n";

// Windows text mode: every 0x0A byte stored as 0D 0A.
std::string windowsText(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        MW::Clock::setNowForTesting([] { return kNow; });
        CSettings::destroyInstance();
        CLog::getInstance()->open(m_dir / "mwservice.log");
    }
    void TearDown() override {
        CSettings::destroyInstance();
        CLog::destroyInstance();
        MW::Clock::setNowForTesting(nullptr);
    }

    // A fresh record loaded from `content` (or from no file at all).
    CSettings* load(const std::string* content = nullptr) {
        CSettings::destroyInstance();
        if (content)
            MW::Test::writeFile(m_path, *content);
        CSettings* settings = CSettings::getInstance();
        settings->loadFromFile(m_path);
        return settings;
    }
    std::string logText() {
        CLog::getInstance()->flush();
        return MW::Test::fromTextLines(MW::Test::readFile(m_dir / "mwservice.log"));
    }
    std::string file() const { return MW::Test::readFile(m_path); }

    MW::Test::TempDir m_dir;
    std::string m_path = m_dir / "settings.mwk";
};

TEST_F(SettingsFile, MissingFileIsWrittenWithTheDefaultsByteForByte) {
    CSettings* settings = load();
    EXPECT_EQ(logText(), ""); // a missing file is no error
    EXPECT_EQ(settings->getSettingsPath(), m_path);

    const std::string head = "22 serialization::archive 9 0 0 1 /\0 0  0  "s;
    const std::string tail = textLines(kDefaultTail); // Windows stores the line end as CR LF
    const std::string bytes = file();
    ASSERT_GT(bytes.size(), head.size() + tail.size());
    EXPECT_EQ(bytes.substr(0, head.size()), head);
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);
    // The start time: one day after construction, in local time.
    const std::string startTime =
        bytes.substr(head.size(), bytes.size() - head.size() - tail.size());
    const double expected = MW::OleDate::fromWallSeconds(kNow + MW::Clock::utcOffsetAt(kNow)) + 1;
    EXPECT_EQ(std::stod(startTime), expected);
    EXPECT_EQ(startTime.find_first_of("e "), std::string::npos) << startTime;

    // Doubles carry 17 significant digits, without exponent or trailing zeros.
    settings->storeStartTime(44000.375);
    settings->saveToFile();
    EXPECT_EQ(file(), "22 serialization::archive 9 0 0 1 /\0 0  0  44000.375"s + tail);
    settings->storeStartTime(44000 + 11.0 / 24);
    settings->saveToFile();
    EXPECT_NE(file().find(" 44000.458333333336 1 "), std::string::npos);
    EXPECT_EQ(logText(), "");
}

TEST_F(SettingsFile, EveryFieldRoundTripsExactly) {
    CSettings* settings = load();
    settings->setScanFolder("/data/\xC4\x8A"); // U+010A: its UTF-16 bytes hold 0x0A
    settings->setFileTypes(".bak,.dwl");
    settings->setOtherFileTypes("\xF0\x9F\x98\x80"); // a surrogate pair
    settings->storeStartTime(45366.604166666664);
    settings->setDeleteAge(MW::eDA_None);
    settings->setLastScan("03/15/24");
    settings->setCleanedSpace((1ULL << 32) + 7);
    settings->setContactName("\xE0\xB4\x95\xE0\xB4\x8A"); // U+0D15 U+0D0A: bytes 15 0D 0A 0D
    settings->setContactEmail("a@b.c");
    settings->setProxyServer("proxy");
    settings->setProxyPort("8080");
    settings->setProxyUsage(false);
    settings->setProxySysUsage(false);
    settings->setProxySysServer("sys");
    settings->setProxySysBypass("<local>");
    settings->setProxySysAccessType(4294967295U);
#ifndef _WIN32
    ::chmod(m_path.c_str(), 0640);
#endif
    settings->saveToFile();

    const std::string bytes = file();
    // On Windows the 0x0A inside U+010A is stored as 0D 0A too.
    EXPECT_NE(bytes.find(textLines(" 7 /\0d\0a\0t\0a\0/\0\x0A\x01 9 .\0"s)), std::string::npos);
    EXPECT_NE(bytes.find(" 2 \x3D\xD8\x00\xDE "s), std::string::npos);
    EXPECT_NE(bytes.find(" -1 8 0\0003\0/\0"s), std::string::npos);
    EXPECT_NE(bytes.find(" 4294967303 "), std::string::npos);
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::stat(m_path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // permissions survive the replacement
#endif

    settings = load();
    EXPECT_EQ(settings->getScanFolder(), "/data/\xC4\x8A");
    EXPECT_EQ(settings->getFileTypes(), ".bak,.dwl");
    EXPECT_EQ(settings->getOtherFileTypes(), "\xF0\x9F\x98\x80");
    EXPECT_EQ(settings->getStartTime(), 45366.604166666664);
    EXPECT_EQ(settings->getDeleteAge(), MW::eDA_None);
    EXPECT_EQ(settings->getLastScan(), "03/15/24");
    EXPECT_EQ(settings->getCleanedSpace(), (1ULL << 32) + 7);
    EXPECT_EQ(settings->getContactName(), "\xE0\xB4\x95\xE0\xB4\x8A");
    EXPECT_EQ(settings->getContactEmail(), "a@b.c");
    EXPECT_EQ(settings->getProxyServer(), "proxy");
    EXPECT_EQ(settings->getProxyPort(), "8080");
    EXPECT_FALSE(settings->getProxyUsage());
    EXPECT_FALSE(settings->getProxySysUsage());
    EXPECT_EQ(settings->getProxySysServer(), "sys");
    EXPECT_EQ(settings->getProxySysBypass(), "<local>");
    EXPECT_EQ(settings->getProxySysAccessType(), 4294967295U);
    EXPECT_EQ(logText(), "");
    EXPECT_EQ(file(), bytes); // a clean load does not rewrite
}

TEST_F(SettingsFile, WindowsFileLoadsWithItsLineEndsUndone) {
    // ScanFolder "C:\" U+010A U+010D U+0A0D: bytes ... 0A 01 0D 01 0D 0A.
    const std::string linux = "22 serialization::archive 9 0 0 6 C\0:\0\\\0\x0A\x01\x0D\x01\x0D\x0A"
                              " 4 .\0b\0a\0k\0 0  44000.5 3 8 0\0003\0/\0001\0005\0/\0002\0004\0"
                              " 12 0  0  0  0  1 0 0  0  4\n"s;
    const std::string windows = windowsText(linux);
    ASSERT_EQ(windows.size(), linux.size() + 3);
    CSettings* settings = load(&windows);
    EXPECT_EQ(logText(), "");
    EXPECT_EQ(settings->getScanFolder(), "C:\\\xC4\x8A\xC4\x8D\xE0\xA8\x8D");
    EXPECT_EQ(settings->getFileTypes(), ".bak");
    EXPECT_EQ(settings->getStartTime(), 44000.5);
    EXPECT_EQ(settings->getDeleteAge(), MW::eDA_3Month);
    EXPECT_EQ(settings->getLastScan(), "03/15/24");
    EXPECT_EQ(settings->getCleanedSpace(), 12u);
    EXPECT_FALSE(settings->getProxySysUsage());
    EXPECT_EQ(settings->getProxySysAccessType(), 4u);
    settings->saveToFile();
    EXPECT_EQ(file(), textLines(linux)); // saved with this platform's line ends
}

TEST_F(SettingsFile, FileCutAfterTheFifthItemKeepsWhatWasRead) {
    const std::string cut =
        "22 serialization::archive 9 0 0 3 /\0x\0y\0 4 .\0b\0a\0k\0 0  45000.5 2"s;
    CSettings* settings = load(&cut);
    EXPECT_EQ(logText(), "CSettings::loadFromFile(): Exception in text_iarchive\n");
    EXPECT_EQ(settings->getScanFolder(), "/xy");
    EXPECT_EQ(settings->getFileTypes(), ".bak");
    EXPECT_EQ(settings->getStartTime(), 45000.5);
    EXPECT_EQ(settings->getDeleteAge(), MW::eDA_Month);
    EXPECT_TRUE(settings->getProxyUsage());
    // Rewritten with all sixteen items.
    EXPECT_EQ(file(), textLines(cut + kDefaultTail.substr(2)));
}

TEST_F(SettingsFile, DamagedFilesAreReportedAndReplaced) {
    const std::string tail = " 0  0  44000.5 1 0  0 0  0  0  0  1 1 0  0  0\n";
    const std::string rest = " 0 0 1 /\0"s + tail;
    const std::string bad[] = {
        "22 serialization::archivf 9"s + rest, // wrong signature
        "21 serialization::archiv 9"s + rest,  // wrong signature length
        "99999999999999999999999 serialization::archive 9"s + rest,
        "22 serialization::archive 10"s + rest,                   // newer library version
        "22 serialization::archive 9 0 0 1 /\0 0  0  44000.5 x"s, // not a number
        "22 serialization::archive 9 0 0 1000000000 /\0"s + tail, // count beyond the file
        "22 serialization::archive 9 0 0 -1 /\0"s + tail,         // negative count
        "22 serialization::archive 9 0 0 2 /\0x"s,                // odd number of bytes left
        ""s,
    };
    for (const std::string& content : bad) {
        SCOPED_TRACE(content);
        CLog::getInstance()->open(m_dir / "mwservice.log");
        std::filesystem::resize_file(m_dir / "mwservice.log", 0);
        CSettings* settings = load(&content);
        EXPECT_EQ(logText(), "CSettings::loadFromFile(): Exception in text_iarchive\n");
        EXPECT_EQ(settings->getScanFolder(), "/");
        EXPECT_EQ(MW::Test::readFile(m_path + ".bad"), content); // kept for recovery
        // The replacement loads cleanly.
        load();
        EXPECT_EQ(logText(), "CSettings::loadFromFile(): Exception in text_iarchive\n");
    }
    // Older library versions load.
    for (const char* version : {"0", "4", "9"}) {
        const std::string content =
            "22 serialization::archive "s + version + " 0 0 2 /\0x\0"s + tail;
        EXPECT_EQ(load(&content)->getScanFolder(), "/x") << version;
    }
    EXPECT_EQ(logText(), "CSettings::loadFromFile(): Exception in text_iarchive\n");
}

TEST_F(SettingsFile, FailedSaveLeavesTheOldFileIntact) {
    CSettings* settings = load();
    const std::string old = file();
    settings->setScanFolder("/elsewhere");

#ifndef _WIN32
    // A write error (as on a full disk) even for root: the file size limit.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::error_code error = settings->saveToFile();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    // The log keeps its text; the caller also learns why.
    EXPECT_EQ(error, std::errc::file_too_large);
    EXPECT_EQ(logText(), "CSettings::saveToFile(): Exception in text_oarchive\n");
    EXPECT_EQ(file(), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path()), {}), 2)
        << "temporary file left behind";
#endif

    // A path that cannot be a file: a directory in its place, or a file as its parent.
    std::filesystem::create_directory(m_dir / "folder");
    MW::Test::writeFile(m_dir / "folder/keep", "x");
    CSettings::destroyInstance();
    CLog::getInstance()->open(m_dir / "other.log");
    CSettings::getInstance()->loadFromFile(m_dir / "folder");
    CSettings::getInstance()->loadFromFile(m_path + "/settings.mwk");
    CLog::getInstance()->close();
    EXPECT_EQ(MW::Test::readFile(m_dir / "other.log"),
              textLines("CSettings::saveToFile(): Settins file not found\n"
                        "CSettings::saveToFile(): Settins file not found\n"));
    EXPECT_EQ(MW::Test::readFile(m_dir / "folder/keep"), "x");
    EXPECT_EQ(file(), old);
}

TEST_F(SettingsFile, SaveRefusesAStartTimeThatIsNotANumber) {
    CSettings* settings = load();
    const std::string old = file();
    settings->storeStartTime(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(settings->saveToFile(), std::errc::invalid_argument);
    EXPECT_EQ(logText(), "CSettings::saveToFile(): Exception in text_oarchive\n");
    EXPECT_EQ(file(), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path()), {}), 2);
    settings->storeStartTime(45000.5);
    EXPECT_FALSE(settings->saveToFile());
}

TEST_F(SettingsFile, StartTimeNotifiesOnlyWhenItChanges) {
    struct Observer : MW::Common::IObserver {
        std::vector<std::int32_t> codes;
        void update(std::int32_t code) override { codes.push_back(code); }
    } observer;
    CSettings* settings = CSettings::getInstance();
    settings->subscribe(MW::eSE_StartTimeChanged, &observer);
    settings->subscribe(MW::eSE_ScanNow, &observer);
    const double start = settings->getStartTime();
    settings->setStartTime(start);
    EXPECT_TRUE(observer.codes.empty());
    settings->setStartTime(start + 1.0 / 24);
    EXPECT_EQ(observer.codes, std::vector<std::int32_t>{MW::eSE_StartTimeChanged});
    EXPECT_EQ(settings->getStartTime(), start + 1.0 / 24);
    settings->storeStartTime(start); // the cleaner's own update is silent
    settings->notifyScanNow();
    EXPECT_EQ(observer.codes,
              (std::vector<std::int32_t>{MW::eSE_StartTimeChanged, MW::eSE_ScanNow}));

    settings->setCleanedSpace(~0ULL - 1);
    EXPECT_EQ(settings->addCleanedSpace(3), 1u); // wraps at 2^64
}

} // namespace
