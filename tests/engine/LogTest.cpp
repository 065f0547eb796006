#include "CLog.h"
#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

using MW::CLog;
using MW::Test::textLines;

namespace {

class Log : public ::testing::Test {
protected:
    void SetUp() override { CLog::destroyInstance(); }
    void TearDown() override { CLog::destroyInstance(); }

    MW::Test::TempDir m_dir;
    std::string m_path = m_dir / "mwservice.log";
};

TEST_F(Log, EntriesOfTwoThreadsStayWholeAndInOrder) {
    CLog::getInstance()->open(m_path);
    constexpr int kEntries = 3000;
    const auto writer = [](char name) {
        for (int i = 0; i < kEntries; ++i)
            MW::logWrite(std::string(1, name) + std::to_string(i) + std::string(300, name));
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    CLog::destroyInstance(); // closing writes out the buffer

    std::istringstream lines(MW::Test::fromTextLines(MW::Test::readFile(m_path)));
    int next[2] = {0, 0};
    for (std::string line; std::getline(lines, line);) {
        ASSERT_FALSE(line.empty());
        const char name = line[0];
        ASSERT_TRUE(name == 'a' || name == 'b') << line;
        int& expected = next[name - 'a'];
        ASSERT_EQ(line, std::string(1, name) + std::to_string(expected) + std::string(300, name));
        ++expected;
    }
    EXPECT_EQ(next[0], kEntries);
    EXPECT_EQ(next[1], kEntries);
}

// Sizes and ends of a log, compared instead of their megabytes of text.
std::int64_t sizeOf(const std::string& path) {
    return static_cast<std::int64_t>(MW::Test::readFile(path).size());
}

TEST_F(Log, SizeRuleAtOpen) {
    MW::Test::writeFile(m_path, std::string(CLog::kMaxSize, 'x')); // exactly 20 MiB
    CLog::getInstance()->open(m_path);
    CLog::getInstance()->close();
    EXPECT_FALSE(MW::Test::exists(m_path + ".1")); // appended to: nothing moved
    EXPECT_EQ(sizeOf(m_path), CLog::kMaxSize);

    MW::Test::writeFile(m_path, std::string(CLog::kMaxSize + 1, 'x')); // one byte more
    CLog::getInstance()->open(m_path); // moved aside, a new log begins
    MW::logWrite("banner");
    CLog::getInstance()->close();
    EXPECT_EQ(MW::Test::readFile(m_path), textLines("banner\n"));
    EXPECT_EQ(sizeOf(m_path + ".1"), CLog::kMaxSize + 1);
}

TEST_F(Log, SizeRuleWhileWritingKeepsOnePreviousLog) {
    // A long scan writes an entry per file: the log must not pass its size.
    MW::Test::writeFile(m_path + ".1", "oldest\n");
    CLog::getInstance()->open(m_path);
    const auto entry = [](int i) {
        std::string text = std::to_string(i);
        return text + std::string(1000 - text.size(), 'e');
    };
    const std::int64_t entryBytes = static_cast<std::int64_t>(textLines(entry(0) + "\n").size());
    const int count = static_cast<int>(CLog::kMaxSize / entryBytes) + 100;
    for (int i = 0; i < count; ++i)
        MW::logWrite(entry(i));
    CLog::getInstance()->close();

    const std::string previous = MW::Test::readFile(m_path + ".1");
    const std::string current = MW::Test::readFile(m_path);
    EXPECT_LE(static_cast<std::int64_t>(previous.size()), CLog::kMaxSize);
    EXPECT_GT(static_cast<std::int64_t>(previous.size()), CLog::kMaxSize - entryBytes);
    // Nothing lost, nothing twice: the previous log and this one hold every entry,
    // in order, and the oldest log made room.
    EXPECT_EQ(static_cast<std::int64_t>(previous.size() + current.size()), count * entryBytes);
    EXPECT_EQ(previous.rfind(entry(0), 0), 0u);
    const auto firstHere = std::stoi(current.substr(0, current.find('e')));
    EXPECT_EQ(static_cast<std::int64_t>(previous.size()), firstHere * entryBytes);
    EXPECT_EQ(current.substr(current.size() - entryBytes), textLines(entry(count - 1) + "\n"));
}

TEST_F(Log, SizeRuleFindsWhatOthersAppended) {
    CLog::getInstance()->open(m_path);
    MW::logWrite("first");
    CLog::getInstance()->limitSize(); // small: nothing happens
    EXPECT_FALSE(MW::Test::exists(m_path + ".1"));
    {
        // Grown behind the log's back, for example by a copy of the service.
        std::ofstream grow(m_path, std::ios::app | std::ios::binary);
        grow << std::string(CLog::kMaxSize, 'y');
    }
    CLog::getInstance()->limitSize();
    MW::logWrite("after");
    CLog::getInstance()->close();
    EXPECT_EQ(MW::Test::readFile(m_path), textLines("after\n"));
    const std::string previous = MW::Test::readFile(m_path + ".1");
    const std::string first = textLines("first\n");
    EXPECT_EQ(static_cast<std::int64_t>(previous.size()),
              CLog::kMaxSize + static_cast<std::int64_t>(first.size()));
    EXPECT_EQ(previous.substr(0, first.size()), first);
    CLog::getInstance()->limitSize(); // closed: nothing to do
}

TEST_F(Log, EntriesWhileClosedAreDroppedAndTextIsLatin1) {
    MW::logWrite("lost");
    EXPECT_FALSE(MW::Test::exists(m_path));
    CLog::getInstance()->open(m_dir / "missing/mwservice.log"); // cannot open: stays closed
    EXPECT_FALSE(CLog::getInstance()->isOpen());
    MW::logWrite("lost too");

    CLog::getInstance()->open(m_path);
    MW::logWrite("caf\xC3\xA9 \xC4\x8A \xF0\x9F\x98\x80 \xFF");
    MW::logWrite("Last scan time: 03/15/24\nCleaned space: 10");
    CLog::destroyInstance();
    MW::logWrite("after the stop"); // a new, closed instance
    CLog::destroyInstance();
    // Text mode: on Windows also the line feed inside an entry is stored as CR LF.
    EXPECT_EQ(MW::Test::readFile(m_path),
              textLines("caf\xE9 ? ? ?\nLast scan time: 03/15/24\nCleaned space: 10\n"));
}

} // namespace
