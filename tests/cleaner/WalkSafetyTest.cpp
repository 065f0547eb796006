// Where the walk must not go: through links, into other mounts, into folders it
// may not read, or past the path limit.

#include "CLog.h"
#include "CleanerFixture.h"

#include <climits>
#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace MW::Test {
namespace {

void makeLink(const std::string& target, const std::string& link, long secondsAgo) {
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0) << link;
    setAge(link, secondsAgo); // the link's own time
}

} // namespace

TEST_F(CleanerTest, PassRemovesLinksButNeverWhatTheyPointTo) {
    const std::string outside = m_dir / "outside";
    ASSERT_EQ(::mkdir(outside.c_str(), 0755), 0);
    makeFile(outside + "/a.bak", 1, kOld);
    makeFile(outside + "/b.bak", 1, kOld);
    makeLink(outside, m_strRoot + "/elsewhere", kOld);           // a folder link without a dot
    makeLink(outside, m_strRoot + "/folder.bak", kOld);          // a folder link of a listed type
    makeLink(outside + "/a.bak", m_strRoot + "/link.bak", kOld); // old link
    makeLink(outside + "/b.bak", m_strRoot + "/young.bak", kYoung);
    makeLink(m_dir / "nothing", m_strRoot + "/dangling.bak", kOld);

    runPass(m_strRoot, ".bak");

    EXPECT_TRUE(exists(outside + "/a.bak"));
    EXPECT_TRUE(exists(outside + "/b.bak"));
    EXPECT_TRUE(exists(m_strRoot + "/elsewhere"));
    EXPECT_TRUE(exists(m_strRoot + "/young.bak"));
    // A link to a folder counts as a folder: never entered and never removed.
    EXPECT_TRUE(exists(m_strRoot + "/folder.bak"));
    EXPECT_FALSE(exists(m_strRoot + "/link.bak"));
    EXPECT_FALSE(exists(m_strRoot + "/dangling.bak"));
    EXPECT_EQ(countLines("File has been deleted: "), 2u);
    EXPECT_EQ(countLines("Current date: "), 2u);
    EXPECT_EQ(countLines("Scanning !"), 1u);
    EXPECT_EQ(undeletedList(), "");

    // A root that is itself a link is not listed either, and the log says why.
    runPass(m_strRoot + "/elsewhere", ".bak");
    EXPECT_TRUE(exists(outside + "/a.bak"));
    EXPECT_EQ(countLines("Scanning !" + m_strRoot + "/elsewhere"), 1u);
    EXPECT_EQ(logLines().back(),
              "Folder not scanned: " + m_strRoot + "/elsewhere (a symbolic link, not followed)");
}

TEST_F(CleanerTest, PassJudgesSpecialFilesByNameAndAgeWithoutOpeningThem) {
    for (const char* name : {"/old.bak", "/young.bak", "/old.txt"})
        ASSERT_EQ(::mkfifo((m_strRoot + name).c_str(), 0644), 0);
    setAge(m_strRoot + "/old.bak", kOld);
    setAge(m_strRoot + "/young.bak", kYoung);
    setAge(m_strRoot + "/old.txt", kOld);
    makeFile(m_strRoot + "/plain.bak", 1, kOld);
    // Every open of an entry shows here; the regular file's in-use test is one.
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, m_strRoot.c_str(), IN_OPEN), 0);

    runPass(m_strRoot, ".bak");

    std::vector<std::string> opened;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
        for (char* at = buffer; at < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if (event->len > 0)
                opened.emplace_back(event->name);
            at += sizeof(inotify_event) + event->len;
        }
    ::close(watch);
    EXPECT_EQ(opened, std::vector<std::string>{"plain.bak"});
    EXPECT_FALSE(exists(m_strRoot + "/old.bak"));
    EXPECT_TRUE(exists(m_strRoot + "/young.bak"));
    EXPECT_TRUE(exists(m_strRoot + "/old.txt"));
    EXPECT_FALSE(exists(m_strRoot + "/plain.bak"));
    EXPECT_EQ(countLines("File has been deleted: "), 2u);
}

TEST_F(CleanerTest, PassNeverWalksARelativeFolderAndNormalisesAnAbsoluteOne) {
    // A relative folder would be taken from the service's working directory.
    const std::string relative = m_dir / "relbox";
    ASSERT_EQ(::mkdir(relative.c_str(), 0755), 0);
    makeFile(relative + "/old.bak", 1, kOld);
    makeFile(m_dir / "top.bak", 1, kOld);
    char saved[PATH_MAX];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(::chdir(m_dir.path().c_str()), 0);
    for (const std::string folder : {"relbox", ".", "", "relbox/../relbox"})
        runPass(folder, ".bak");
    ASSERT_EQ(::chdir(saved), 0);
    EXPECT_TRUE(exists(relative + "/old.bak"));
    EXPECT_TRUE(exists(m_dir / "top.bak"));
    EXPECT_EQ(logLines(), (std::vector<std::string>{
                              "Scanning !relbox",
                              "Folder not scanned: relbox (not an absolute path)",
                              "Scanning !.",
                              "Folder not scanned: . (not an absolute path)",
                              "Scanning !",
                              "Folder not scanned:  (not an absolute path)",
                              "Scanning !relbox/../relbox",
                              "Folder not scanned: relbox/../relbox (not an absolute path)",
                          }));

    // ".", ".." and doubled separators are resolved before the walk.
    ASSERT_EQ(::mkdir((m_strRoot + "/Sub").c_str(), 0755), 0);
    makeFile(m_strRoot + "/Sub/a.bak", 1, kOld);
    const std::string typed = m_strRoot + "/./Other/..//Sub/";
    runPass(typed, ".bak");
    EXPECT_FALSE(exists(m_strRoot + "/Sub/a.bak"));
    EXPECT_EQ(countLines("Scanning !" + typed), 1u);
    EXPECT_EQ(countLines("File has been deleted: " + lowered(m_strRoot) + "/sub/a.bak"), 1u);
}

TEST_F(CleanerTest, PassStopsAtTheDepthCapAndSaysSo) {
    // Level 256 below the root is walked, level 257 is not.
    std::string folder = m_strRoot;
    std::string level256;
    for (int level = 1; level <= 257; ++level) {
        folder += "/d";
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
        if (level == 256)
            level256 = folder;
    }
    makeFile(level256 + "/at256.bak", 1, kOld);
    makeFile(folder + "/at257.bak", 1, kOld);

    runPass(m_strRoot, ".bak");

    EXPECT_FALSE(exists(level256 + "/at256.bak"));
    EXPECT_TRUE(exists(folder + "/at257.bak"));
    EXPECT_EQ(logLines().back(), "Folder not scanned: " + folder + " (deeper than 256 levels)");
}

TEST_F(CleanerTest, PassSkipsFoldersItCannotListAndCleansTheRest) {
    for (const char* folder : {"/locked", "/open"})
        ASSERT_EQ(::mkdir((m_strRoot + folder).c_str(), 0755), 0);
    makeFile(m_strRoot + "/locked/old.bak", 1, kOld);
    makeFile(m_strRoot + "/open/old.bak", 1, kOld);
    makeFile(m_strRoot + "/old.bak", 1, kOld);
    ASSERT_EQ(::chmod((m_strRoot + "/locked").c_str(), 0), 0);

    // Root passes every permission check; without these capabilities it is bound
    // by the folder's mode like any user.
    ASSERT_TRUE(runWithoutCapabilities({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH},
                                       [&] { runPass(m_strRoot, ".bak"); }));

    EXPECT_TRUE(exists(m_strRoot + "/locked/old.bak"));
    EXPECT_FALSE(exists(m_strRoot + "/open/old.bak"));
    EXPECT_FALSE(exists(m_strRoot + "/old.bak"));
    EXPECT_EQ(countLines("Scanning !" + m_strRoot + "/locked"), 1u);
    EXPECT_EQ(countLines("Folder not scanned: " + m_strRoot + "/locked (Permission denied)"), 1u);
    EXPECT_EQ(countLines("File has been deleted: "), 2u);

    // A missing root: its entry and the reason, nothing else.
    const std::size_t before = logLines().size();
    runPass(m_dir / "missing", ".bak");
    const auto log = logLines();
    ASSERT_EQ(log.size(), before + 2);
    EXPECT_EQ(log[before], "Scanning !" + (m_dir / "missing"));
    EXPECT_EQ(log[before + 1],
              "Folder not scanned: " + (m_dir / "missing") + " (No such file or directory)");
}

TEST_F(CleanerTest, PassListsFoldersOnlyBelowThePathLimit) {
    // The longest folder that is listed: its path plus a four-character search
    // pattern stays below PATH_MAX (255 + 4 < 260, as Windows' MAX_PATH).
    const std::size_t longest = PATH_MAX - 5;
    std::string parent = m_strRoot + "/deep";
    ASSERT_EQ(::mkdir(parent.c_str(), 0755), 0);
    while (longest - parent.size() - 1 > 250) {
        parent += "/" + std::string(200, 'd');
        ASSERT_EQ(::mkdir(parent.c_str(), 0755), 0);
    }
    const std::string name(longest - parent.size() - 1, 'L');
    const std::string listed = parent + "/" + name;
    const std::string tooLong = listed + "X";
    ASSERT_EQ(listed.size(), longest);
    // The files' own paths pass PATH_MAX: reach them through their folders.
    int folders[2] = {-1, -1};
    for (int i = 0; i < 2; ++i) {
        const std::string& folder = i == 0 ? listed : tooLong;
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
        folders[i] = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(folders[i], 0);
        const int file = ::openat(folders[i], "x.bak", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(file, 0);
        const timespec old[2] = {{::time(nullptr) - kOld, 0}, {::time(nullptr) - kOld, 0}};
        ASSERT_EQ(::futimens(file, old), 0);
        ::close(file);
    }

    runPass(m_strRoot, ".bak");

    struct stat st {};
    EXPECT_NE(::fstatat(folders[0], "x.bak", &st, 0), 0);
    EXPECT_EQ(::fstatat(folders[1], "x.bak", &st, 0), 0);
    EXPECT_EQ(countLines("File has been deleted: " + lowered(listed) + "/x.bak"), 1u);
    EXPECT_EQ(countLines("File has been deleted: "), 1u);
    EXPECT_EQ(countLines("Scanning !" + tooLong), 1u);
    EXPECT_EQ(countLines("Folder not scanned: " + tooLong + " (path longer than " +
                         std::to_string(PATH_MAX - 5) + " bytes)"),
              1u);

    ::unlinkat(folders[1], "x.bak", 0); // so that the temporary folder can go
    ::close(folders[0]);
    ::close(folders[1]);
}

TEST_F(CleanerTest, PassStaysOnTheMountItStartedOn) {
    // The mounts live in a private mount namespace of a child process and vanish
    // with it.
    const std::string outside = m_dir / "outside";
    ASSERT_EQ(::mkdir(outside.c_str(), 0755), 0);
    makeFile(outside + "/keep.bak", 1, kOld);
    for (const char* folder : {"/tmpfs", "/bound"})
        ASSERT_EQ(::mkdir((m_strRoot + folder).c_str(), 0755), 0);
    makeFile(m_strRoot + "/own.bak", 1, kOld);
    CLog::getInstance()->flush();

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", (m_strRoot + "/tmpfs").c_str(), "tmpfs", 0, "size=1m") != 0 ||
            ::mount(outside.c_str(), (m_strRoot + "/bound").c_str(), nullptr, MS_BIND, nullptr) !=
                0)
            ::_exit(77);
        try {
            makeFile(m_strRoot + "/tmpfs/other.bak", 1, kOld);
            runPass(m_strRoot, ".bak");
        } catch (...) {
            ::_exit(78);
        }
        CLog::getInstance()->flush();
        int result = 0;
        result |= exists(m_strRoot + "/tmpfs/other.bak") ? 0 : 1;
        result |= exists(m_strRoot + "/bound/keep.bak") ? 0 : 2;
        result |= exists(m_strRoot + "/own.bak") ? 4 : 0;
        ::_exit(result);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no private mount namespace here";
    ASSERT_NE(WEXITSTATUS(status), 78) << "the child could not set up its files";
    EXPECT_EQ(WEXITSTATUS(status) & 1, 0) << "a file on another file system was deleted";
    EXPECT_EQ(WEXITSTATUS(status) & 2, 0) << "a file below a bind mount was deleted";
    EXPECT_EQ(WEXITSTATUS(status) & 4, 0) << "the pass did not clean its own folder";
    EXPECT_TRUE(exists(outside + "/keep.bak"));
    EXPECT_EQ(countLines("Scanning !" + m_strRoot + "/tmpfs"), 1u);
    EXPECT_EQ(countLines("Folder not scanned: " + m_strRoot +
                         "/tmpfs (another file system, not entered)"),
              1u);
    EXPECT_EQ(countLines("File has been deleted: "), 1u);
}

} // namespace MW::Test
