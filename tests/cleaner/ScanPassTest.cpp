// The scan pass: what it deletes, what it logs and lists, and what it tells the
// engine.

#include "CLog.h"
#include "CSettings.h"
#include "CleanerFixture.h"
#include "OleDate.h"

#include <algorithm>
#include <fcntl.h>
#include <linux/capability.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
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

std::string dateOf(long secondsAgo) {
    return OleDate::formatMDY(Clock::utcToLocalNowOffset(Clock::nowUtc() - secondsAgo));
}

} // namespace

TEST_F(CleanerTest, PassDeletesOnlyOldFilesOfTheListedTypes) {
    freezeClock();
    CSettings* settings = CSettings::getInstance();
    settings->setCleanedSpace(1000);
    makeFile(m_strRoot + "/a.bak", 5, kOld);
    makeFile(m_strRoot + "/b.bak", 7, kYoung);
    makeFile(m_strRoot + "/c.txt", 9, kOld);

    runPass(m_strRoot, ".bak");

    EXPECT_FALSE(exists(m_strRoot + "/a.bak"));
    EXPECT_TRUE(exists(m_strRoot + "/b.bak"));
    EXPECT_TRUE(exists(m_strRoot + "/c.txt"));
    EXPECT_EQ(settings->getCleanedSpace(), 1005u);
    ASSERT_EQ(m_recorder.kinds(), std::vector<EFireEvent>{eFE_UpdateCleanedSpace});
    EXPECT_EQ(m_recorder.events()[0].cleanedSpace, 1005u);
    EXPECT_EQ(logLines(), (std::vector<std::string>{
                              "Scanning !" + m_strRoot,
                              "Current date: " + OleDate::formatMDY(Clock::nowLocal()) +
                                  " , Modify date: " + dateOf(kOld),
                              "File has been deleted: " + lowered(m_strRoot) + "/a.bak",
                          }));
    EXPECT_EQ(undeletedList(), "");
    EXPECT_EQ(settings->getUndeletedCount(), 0);
}

TEST_F(CleanerTest, PassLogsAndListsLoweredPathsAndTracesFoldersAsFound) {
    CSettings* settings = CSettings::getInstance();
    for (const char* folder : {"/Work", "/Sub1", "/Sub1/Sub2", "/Sub1/Sub2/Sub3"})
        ASSERT_EQ(::mkdir((m_strRoot + folder).c_str(), 0755), 0);
    makeFile(m_strRoot + "/Work/Plan.BAK", 3, kOld);
    ASSERT_EQ(::chmod((m_strRoot + "/Work/Plan.BAK").c_str(), 0444), 0);
    makeFile(m_strRoot + "/Work/Other.BAK", 4, kOld);
    makeFile(m_strRoot + "/Sub1/Sub2/Sub3/Deep.Bak", 6, kOld);

    runPass(m_strRoot, ".bak");

    // The read-only file stays, is listed once and counted, and costs no event.
    EXPECT_TRUE(exists(m_strRoot + "/Work/Plan.BAK"));
    EXPECT_FALSE(exists(m_strRoot + "/Work/Other.BAK"));
    EXPECT_FALSE(exists(m_strRoot + "/Sub1/Sub2/Sub3/Deep.Bak"));
    EXPECT_EQ(undeletedList(), lowered(m_strRoot) + "/work/plan.bak\n");
    EXPECT_EQ(settings->getUndeletedCount(), 1);
    EXPECT_EQ(settings->getCleanedSpace(), 10u);
    EXPECT_EQ(m_recorder.count(eFE_UpdateCleanedSpace), 2u);

    const auto log = logLines();
    const auto has = [&](const std::string& line) {
        return std::count(log.begin(), log.end(), line);
    };
    EXPECT_EQ(has("File has not been deleted: " + lowered(m_strRoot) + "/work/plan.bak"), 1);
    EXPECT_EQ(has("File has been deleted: " + lowered(m_strRoot) + "/work/other.bak"), 1);
    EXPECT_EQ(has("File has been deleted: " + lowered(m_strRoot) + "/sub1/sub2/sub3/deep.bak"), 1);
    for (const char* folder : {"", "/Work", "/Sub1", "/Sub1/Sub2", "/Sub1/Sub2/Sub3"})
        EXPECT_EQ(has("Scanning !" + m_strRoot + folder), 1) << folder;
    EXPECT_EQ(countLines("Scanning !"), 5u);

    // A folder given with a trailing separator gets no second one below it; the
    // list holds only the latest pass.
    runPass(m_strRoot + "/", ".bak");
    EXPECT_EQ(countLines("Scanning !" + m_strRoot + "/Work"), 2u);
    EXPECT_EQ(countLines("Scanning !" + m_strRoot + "//"), 0u);
    EXPECT_EQ(undeletedList(), lowered(m_strRoot) + "/work/plan.bak\n");
}

TEST_F(CleanerTest, PassTakesExtensionsFromTheWholePath) {
    // A name without a dot takes its extension from the folder's last dot onwards.
    for (const char* folder : {"/Work.OLD", "/rev.0"})
        ASSERT_EQ(::mkdir((m_strRoot + folder).c_str(), 0755), 0);
    makeFile(m_strRoot + "/Work.OLD/ReadMe", 1, kOld); // extension .old/readme
    makeFile(m_strRoot + "/Work.OLD/notes", 1, kOld);  // extension .old/notes
    makeFile(m_strRoot + "/rev.0/House.rvt", 1, kOld); // a backup by its folder's ".0"
    makeFile(m_strRoot + "/house.rvt", 1, kOld);       // no backup

    runPass(m_strRoot, ".rvt,.old/readme");

    EXPECT_FALSE(exists(m_strRoot + "/Work.OLD/ReadMe"));
    EXPECT_TRUE(exists(m_strRoot + "/Work.OLD/notes"));
    EXPECT_FALSE(exists(m_strRoot + "/rev.0/House.rvt"));
    EXPECT_TRUE(exists(m_strRoot + "/house.rvt"));
    EXPECT_EQ(countLines("File has been deleted: " + lowered(m_strRoot) + "/work.old/readme"), 1u);
}

TEST_F(CleanerTest, PassWritesNamesItCannotRepresentWithQuestionMarks) {
    makeFile(m_strRoot + "/Bad\xFF.bak", 1, kOld);                   // not UTF-8
    makeFile(m_strRoot + "/Caf\xC3\xA9.bak", 1, kOld);               // U+00E9, kept as one byte
    makeFile(m_strRoot + "/\xC4\x80-\xF0\x9F\x98\x80.bak", 1, kOld); // U+0100, U+1F600
    for (const char* name : {"/Caf\xC3\xA9.bak", "/\xC4\x80-\xF0\x9F\x98\x80.bak"})
        ASSERT_EQ(::chmod((m_strRoot + name).c_str(), 0444), 0);

    runPass(m_strRoot, ".bak");

    EXPECT_FALSE(exists(m_strRoot + "/Bad\xFF.bak"));
    const std::string root = lowered(m_strRoot);
    EXPECT_EQ(countLines("File has been deleted: " + root + "/bad?.bak"), 1u);
    // ISO 8859-1 with line feeds only.
    EXPECT_EQ(sortedLines(undeletedList()),
              (std::vector<std::string>{root + "/?-?.bak", root + "/caf\xE9.bak"}));
    EXPECT_EQ(undeletedList().find('\r'), std::string::npos);
    EXPECT_EQ(CSettings::getInstance()->getUndeletedCount(), 2);
}

TEST_F(CleanerTest, PassWritesControlCharactersAsQuestionMarksSoEachFileIsOneLine) {
    // A name that tries to pass for log and list lines of its own.
    const std::string forged = "/x\nFile has been deleted: shadow\n.bak";
    ASSERT_EQ(::mkdir((m_strRoot + "/Sub\rDir").c_str(), 0755), 0);
    makeFile(m_strRoot + forged, 1, kOld);
    makeFile(m_strRoot + "/Sub\rDir/tab\there\x7F.bak", 1, kOld);
    makeFile(m_strRoot + "/kept\n\xC2\x85line.bak", 1, kOld); // U+0085, a line break for some
    ASSERT_EQ(::chmod((m_strRoot + "/kept\n\xC2\x85line.bak").c_str(), 0444), 0);

    runPass(m_strRoot, ".bak");

    EXPECT_FALSE(exists(m_strRoot + forged));
    const std::string root = lowered(m_strRoot);
    EXPECT_EQ(undeletedList(), root + "/kept??line.bak\n");
    EXPECT_EQ(CSettings::getInstance()->getUndeletedCount(), 1);
    const auto log = logLines();
    EXPECT_EQ(countLines("File has been deleted: "), 2u);
    EXPECT_EQ(
        countLines("File has been deleted: " + root + "/x?file has been deleted: shadow?.bak"), 1u);
    EXPECT_EQ(countLines("Scanning !" + m_strRoot + "/Sub?Dir"), 1u);
    EXPECT_EQ(countLines("File has been deleted: " + root + "/sub?dir/tab?here?.bak"), 1u);
    EXPECT_EQ(countLines("File has not been deleted: " + root + "/kept??line.bak"), 1u);
    // Scanning entries, three date entries and three file entries: nothing more.
    EXPECT_EQ(log.size(), 2u + 3u + 3u);
}

TEST_F(CleanerTest, PassKeepsFilesOtherProcessesHoldOpenOrLocked) {
    makeFile(m_strRoot + "/reading.bak", 1, kOld);
    makeFile(m_strRoot + "/writing.bak", 1, kOld);
    makeFile(m_strRoot + "/free.bak", 1, kOld);
    const int reader = ::open((m_strRoot + "/reading.bak").c_str(), O_RDONLY | O_CLOEXEC);
    const int writer = ::open((m_strRoot + "/writing.bak").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ASSERT_GE(writer, 0);

    runPass(m_strRoot, ".bak");

    EXPECT_TRUE(exists(m_strRoot + "/reading.bak"));
    EXPECT_TRUE(exists(m_strRoot + "/writing.bak"));
    EXPECT_FALSE(exists(m_strRoot + "/free.bak"));
    const std::string root = lowered(m_strRoot);
    EXPECT_EQ(sortedLines(undeletedList()),
              (std::vector<std::string>{root + "/reading.bak", root + "/writing.bak"}));
    EXPECT_EQ(CSettings::getInstance()->getUndeletedCount(), 2);
    EXPECT_EQ(countLines("File has not been deleted: "), 2u);

    // Closed again, they go with the next pass.
    ::close(reader);
    ::close(writer);
    runPass(m_strRoot, ".bak");
    EXPECT_FALSE(exists(m_strRoot + "/reading.bak"));
    EXPECT_FALSE(exists(m_strRoot + "/writing.bak"));
    EXPECT_EQ(CSettings::getInstance()->getUndeletedCount(), 0);
}

TEST_F(CleanerTest, PassFallsBackOnTheLockProbeWhereNoLeaseCanBeTaken) {
    // Files of another user, and no CAP_LEASE: as for a service running as a user,
    // the lease is refused and only lock holders are seen.
    const std::string locked = m_strRoot + "/locked.bak";
    const std::string open = m_strRoot + "/open.bak";
    makeFile(locked, 1, kOld);
    makeFile(open, 1, kOld);
    ASSERT_EQ(::chown(locked.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown(open.c_str(), 65534, 65534), 0);
    const int holder = ::open(locked.c_str(), O_RDWR | O_CLOEXEC);
    const int other = ::open(open.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_GE(other, 0);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(holder, F_OFD_SETLK, &lock), 0);

    ASSERT_TRUE(runWithoutCapabilities({CAP_LEASE}, [&] { runPass(m_strRoot, ".bak"); }));

    EXPECT_TRUE(exists(locked));
    EXPECT_EQ(undeletedList(), lowered(locked) + "\n");
    // The documented limit: an open file nobody locks is not seen without a lease.
    EXPECT_FALSE(exists(open));
    ::close(holder);
    ::close(other);
}

TEST_F(CleanerTest, PassTellsTheEngineEachRunningTotalAndSurvivesItsFailures) {
    CSettings* settings = CSettings::getInstance();
    settings->setCleanedSpace(1000);
    makeFile(m_strRoot + "/a.bak", 10, kOld);
    makeFile(m_strRoot + "/b.bak", 20, kOld);
    makeFile(m_strRoot + "/c.bak", 30, kOld);
    int calls = 0;
    m_recorder.hook = [&](EFireEvent) {
        ++calls;
        if (calls == 1)
            throw CContractError(Bus::kErrorFailed, "no engine");
        if (calls == 2)
            throw std::runtime_error("broken");
    };

    runPass(m_strRoot, ".bak");

    // Every deletion is announced with the total after it, failures or not.
    const auto events = m_recorder.events();
    ASSERT_EQ(events.size(), 3u);
    std::vector<std::uint64_t> steps;
    std::uint64_t previous = 1000;
    for (const SEvent& e : events) {
        steps.push_back(e.cleanedSpace - previous);
        previous = e.cleanedSpace;
    }
    std::sort(steps.begin(), steps.end());
    EXPECT_EQ(steps, (std::vector<std::uint64_t>{10, 20, 30}));
    EXPECT_EQ(settings->getCleanedSpace(), 1060u);

    // Each failure is logged between the date entry and the deletion entry.
    const auto log = logLines();
    const std::string prefix =
        "m_pIMWEventDispatcher->fireEvent( eFE_UpdateCleanedSpace ) failed: ";
    const auto com = std::find(log.begin(), log.end(), prefix + "COM ERROR!");
    const auto other = std::find(log.begin(), log.end(), prefix + "Caught ... error.");
    ASSERT_NE(com, log.end());
    ASSERT_NE(other, log.end());
    EXPECT_TRUE((com - 1)->starts_with("Current date: "));
    EXPECT_TRUE((com + 1)->starts_with("File has been deleted: "));
    EXPECT_TRUE((other + 1)->starts_with("File has been deleted: "));
    EXPECT_EQ(countLines("File has been deleted: "), 3u);

    // Without an engine the pass runs the same, silently.
    m_pPassDispatcher = nullptr;
    makeFile(m_strRoot + "/d.bak", 40, kOld);
    runPass(m_strRoot, ".bak");
    EXPECT_FALSE(exists(m_strRoot + "/d.bak"));
    EXPECT_EQ(settings->getCleanedSpace(), 1100u);
    EXPECT_EQ(m_recorder.events().size(), 3u);
}

TEST_F(CleanerTest, UndeletedListThatCannotBeOpenedLeavesFailuresUncounted) {
    CSettings::getInstance()->setUndeletedLog(m_dir / "no-such-folder/undeleted.tmp");
    makeFile(m_strRoot + "/kept.bak", 1, kOld);
    ASSERT_EQ(::chmod((m_strRoot + "/kept.bak").c_str(), 0444), 0);

    runPass(m_strRoot, ".bak");

    EXPECT_EQ(countLines("File has not been deleted: " + lowered(m_strRoot) + "/kept.bak"), 1u);
    EXPECT_EQ(CSettings::getInstance()->getUndeletedCount(), 0);
    EXPECT_FALSE(exists(m_dir / "no-such-folder"));
}

} // namespace MW::Test
