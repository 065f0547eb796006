// The preview: the scan pass's walk and rules in a mode that deletes, counts,
// lists and signals nothing, and writes what it found to its own file.

#include "CLog.h"
#include "CPreviewList.h"
#include "CSettings.h"
#include "CleanerFixture.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <fcntl.h>
#include <linux/capability.h>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace MW::Test {
namespace {

std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

class PreviewTest : public CleanerTest {
protected:
    void SetUp() override {
        CleanerTest::SetUp();
        m_strPreview = m_dir / "preview.tmp";
        m_pCleaner->setPreviewFile(m_strPreview, "");
        CSettings* settings = CSettings::getInstance();
        settings->setScanFolder(m_strRoot);
        settings->setFileTypes(".bak,.rvt");
        settings->setOtherFileTypes(".tmp");
        settings->setDeleteAge(eDA_Day);
    }
    std::string m_strPreview;
};

TEST_F(PreviewTest, FindsWhatTheScanWouldDeleteAndTouchesNothing) {
    const std::string sub = m_strRoot + "/Sub";
    ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
    makeFile(m_strRoot + "/Old.BAK", 100, kOld);
    makeFile(m_strRoot + "/young.bak", 1, kYoung);
    makeFile(m_strRoot + "/plan.rvt", 1, kOld);
    makeFile(sub + "/plan.0001.rvt", 20, kOld);
    makeFile(sub + "/x.tmp", 3, kOld);
    makeFile(sub + "/ro.bak", 4, kOld);
    ::chmod((sub + "/ro.bak").c_str(), 0444);
    // Names that would break a line, or are not text.
    makeFile(m_strRoot + "/two\nlines.bak", 5, kOld);
    makeFile(m_strRoot + "/back\\slash\t.bak", 6, kOld);
    makeFile(m_strRoot + "/caf\xc3\xa9\xff.bak", 7, kOld);
    CSettings* settings = CSettings::getInstance();
    settings->setCleanedSpace(9);
    settings->setUndeletedCount(2);
    const std::size_t logBefore = logLines().size();

    const SPreviewTotals totals = m_pCleaner->preview();

    EXPECT_EQ(totals.filesToDelete, 6u);
    EXPECT_EQ(totals.bytesToDelete, 141u);
    EXPECT_EQ(totals.filesToKeep, 1u);
    EXPECT_EQ(totals.bytesToKeep, 4u);
    EXPECT_EQ(totals.file, m_strPreview);
    EXPECT_EQ(sortedLines(readFile(m_strPreview)),
              (std::vector<std::string>{
                  "delete\t100\t" + m_strRoot + "/Old.BAK",
                  "delete\t20\t" + sub + "/plan.0001.rvt",
                  "delete\t3\t" + sub + "/x.tmp",
                  "delete\t5\t" + m_strRoot + "/two\\nlines.bak",
                  "delete\t6\t" + m_strRoot + "/back\\\\slash\\t.bak",
                  "delete\t7\t" + m_strRoot + "/caf\xc3\xa9\\xff.bak",
                  "read-only\t4\t" + sub + "/ro.bak",
              }));
    struct stat info {};
    ASSERT_EQ(::stat(m_strPreview.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Nothing deleted, counted, listed or signalled; one log entry for the preview.
    EXPECT_TRUE(exists(m_strRoot + "/Old.BAK"));
    EXPECT_TRUE(exists(sub + "/plan.0001.rvt"));
    EXPECT_EQ(settings->getCleanedSpace(), 9u);
    EXPECT_EQ(settings->getUndeletedCount(), 2);
    EXPECT_FALSE(exists(m_strUndeletedPath));
    EXPECT_TRUE(m_recorder.events().empty());
    const auto log = logLines();
    ASSERT_EQ(log.size(), logBefore + 1);
    EXPECT_EQ(log.back(), "CCleaner: Preview written to " + m_strPreview +
                              ": 6 files to delete (141 bytes), 1 to leave (4 bytes)");

    // The scan that follows deletes exactly those six and leaves the seventh.
    runPass(m_strRoot, ".bak,.rvt,.tmp", ".tmp");
    EXPECT_EQ(settings->getCleanedSpace(), 9u + 141u);
    EXPECT_EQ(m_recorder.count(eFE_UpdateCleanedSpace), 6u);
    EXPECT_EQ(undeletedList(), lowered(sub) + "/ro.bak\n");
    EXPECT_FALSE(exists(m_strRoot + "/Old.BAK"));
}

TEST_F(PreviewTest, TellsWhyAScanWouldHaveToLeaveAFile) {
    const std::string locked = m_strRoot + "/locked";
    ASSERT_EQ(::mkdir(locked.c_str(), 0755), 0);
    makeFile(locked + "/old.bak", 8, kOld);
    ::chmod(locked.c_str(), 0555);
    // Another program holds this one open.
    makeFile(m_strRoot + "/open.bak", 9, kOld);
    const int holder = ::open((m_strRoot + "/open.bak").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);

    SPreviewTotals totals;
    ASSERT_TRUE(runWithoutCapabilities({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH},
                                       [&] { totals = m_pCleaner->preview(); }));
    ::close(holder);
    ::chmod(locked.c_str(), 0755);
    EXPECT_EQ(totals.filesToDelete, 0u);
    EXPECT_EQ(totals.filesToKeep, 2u);
    EXPECT_EQ(sortedLines(readFile(m_strPreview)),
              (std::vector<std::string>{"denied\t8\t" + locked + "/old.bak",
                                        "in-use\t9\t" + m_strRoot + "/open.bak"}));
}

TEST_F(PreviewTest, IsRefusedWhileAScanRunsAndAfterTheCleanerStopped) {
    m_pCleaner->setScanPause(std::chrono::minutes(10));
    m_pCleaner->start();
    m_pCleaner->setTimerNow();
    ASSERT_TRUE(waitUntil([&] { return m_pCleaner->isBusy(); }));
    try {
        m_pCleaner->preview();
        ADD_FAILURE() << "a preview ran during a scan";
    } catch (const CContractError& e) {
        EXPECT_EQ(e.name(), Bus::kErrorScanRunning);
    }
    EXPECT_FALSE(exists(m_strPreview));

    m_pCleaner->stop();
    EXPECT_THROW(m_pCleaner->preview(), CContractError);
}

TEST_F(PreviewTest, AScanFallingDueDuringAPreviewWaitsForIt) {
    makeFile(m_strRoot + "/old.bak", 5, kOld);
    m_pCleaner->setScanPause(std::chrono::milliseconds(0));
    m_pCleaner->start();
    // The preview's file is a pipe: the preview holds at its start until we read.
    ASSERT_EQ(::mkfifo((m_strPreview + ".new").c_str(), 0600), 0);
    // Two at once: one holds, the other is refused, which shows the first holds.
    std::array<std::optional<SPreviewTotals>, 2> totals;
    std::array<std::string, 2> refusals;
    std::atomic<int> refused{0};
    const auto attempt = [&](std::size_t i) {
        try {
            totals[i] = m_pCleaner->preview();
        } catch (const CContractError& e) {
            refusals[i] = e.name();
            ++refused;
        }
    };
    std::thread first(attempt, 0), second(attempt, 1);
    ASSERT_TRUE(waitUntil([&] { return refused.load() == 1; }));

    m_pCleaner->setTimerNow();
    ASSERT_TRUE(waitUntil([&] { return m_pCleaner->isBusy(); }));
    // Due, but waiting: no scanStarted, nothing deleted (the log order below
    // shows it waited to the end).
    EXPECT_TRUE(m_recorder.events().empty());
    EXPECT_TRUE(exists(m_strRoot + "/old.bak"));

    std::string content;
    std::thread reader([&] { content = readFile(m_strPreview + ".new"); });
    first.join();
    second.join();
    reader.join();
    EXPECT_EQ(content, "delete\t5\t" + m_strRoot + "/old.bak\n");
    const std::size_t ran = totals[0] ? 0 : 1;
    ASSERT_TRUE(totals[ran]);
    EXPECT_EQ(totals[ran]->filesToDelete, 1u);
    EXPECT_EQ(refusals[1 - ran], Bus::kErrorPreviewRunning);

    // Then the scan runs, and deletes what the preview foretold.
    ASSERT_TRUE(waitUntil([&] { return m_recorder.count(eFE_ScanFinished) == 1; }));
    EXPECT_FALSE(exists(m_strRoot + "/old.bak"));
    const auto log = logLines();
    const auto written = std::find_if(log.begin(), log.end(), [](const std::string& line) {
        return line.rfind("CCleaner: Preview written to ", 0) == 0;
    });
    const auto started =
        std::find(log.begin(), log.end(), "CCleaner: Starting the scanning process!");
    ASSERT_NE(written, log.end());
    ASSERT_NE(started, log.end());
    EXPECT_LT(written, started);
}

TEST(PreviewList, EscapesOnlyWhatWouldBreakALineOrIsNotText) {
    EXPECT_EQ(CPreviewList::escapePath("/a/b c.bak"), "/a/b c.bak");
    EXPECT_EQ(CPreviewList::escapePath("a\\b\nc\td\x01\x7f"), "a\\\\b\\nc\\td\\x01\\x7f");
    // Valid UTF-8 stays; stray, overlong and surrogate bytes do not.
    EXPECT_EQ(CPreviewList::escapePath("\xc3\xa9\xe2\x82\xac\xf0\x9f\x93\x90"),
              "\xc3\xa9\xe2\x82\xac\xf0\x9f\x93\x90");
    EXPECT_EQ(CPreviewList::escapePath("\xc3"), "\\xc3");
    EXPECT_EQ(CPreviewList::escapePath("\xc0\xaf"), "\\xc0\\xaf");
    EXPECT_EQ(CPreviewList::escapePath("\xed\xa0\x80"), "\\xed\\xa0\\x80");
    EXPECT_EQ(CPreviewList::escapePath("\xf4\x90\x80\x80"), "\\xf4\\x90\\x80\\x80");
}

} // namespace
} // namespace MW::Test
