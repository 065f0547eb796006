// mwctl scan against the real service: its exit statuses, its progress lines and
// its summary.

#include "CtlFixture.h"
#include "Text.h"

#include <csignal>
#include <sys/stat.h>

namespace MW::Test {
namespace {

TEST_F(CtlTest, ScanWaitExitsZeroWhenAllIsDeletedAndThreeWhenFilesAreLeft) {
    startService();
    const std::string work = tree / "Work";
    ASSERT_EQ(::mkdir(work.c_str(), 0755), 0);
    makeFile(work + "/a.bak", 1000, 10);
    makeFile(work + "/b.dwl", 2000, 10);
    makeFile(work + "/young.bak", 10, 0);
    ASSERT_EQ(ctl({"set", "folder=" + work, "types=.bak,.dwl", "age=week"}).status, 0);

    // Not a terminal: plain lines, then the summary.
    auto r = ctl({"scan", "--wait"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    auto lines = splitLines(r.out);
    ASSERT_GE(lines.size(), 2u) << r.out;
    EXPECT_EQ(lines.front(), "Scan started.");
    EXPECT_EQ(lines.back(), "Scan finished: 0.00 MB freed.");
    for (std::size_t i = 1; i + 1 < lines.size(); ++i)
        EXPECT_EQ(lines[i].rfind("Scanning: ", 0), 0u) << lines[i];
    EXPECT_FALSE(exists(work + "/a.bak"));
    EXPECT_TRUE(exists(work + "/young.bak"));
    EXPECT_EQ(config("CleanedSpace"), "t 3000");

    // A read-only file is kept: exit 3, and undeleted names it.
    makeFile(work + "/c.bak", 700, 10);
    makeFile(work + "/Kept.DWL", 300, 10);
    ::chmod((work + "/Kept.DWL").c_str(), 0444);
    r = ctl({"scan", "--wait", "--json"});
    EXPECT_EQ(r.status, 3) << r.out << r.err;
    const QJsonObject doc = parseJson(r.out);
    EXPECT_EQ(doc["freedBytes"], 700);
    EXPECT_EQ(doc["freedMB"], "0.00");
    EXPECT_EQ(doc["undeletedCount"], 1);
    EXPECT_EQ(doc["undeletedLog"].toString().toStdString(), state + "/undeleted.tmp");
    EXPECT_GE(doc["elapsedSeconds"].toDouble(), 0.0);
    r = ctl({"undeleted"});
    EXPECT_EQ(r.out, Common::asciiLower(work) + "/kept.dwl\n");

    r = ctl({"scan", "--wait"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(splitLines(r.out).back(),
              "1 files could not be deleted; mwctl undeleted lists them.");
    EXPECT_NE(r.out.find("Scan finished: 0.00 MB freed."), std::string::npos);

    // Without --wait it only asks.
    r = ctl({"scan"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Scan requested.\n");
}

// Back to back on an empty folder, the two events of each scan come a fraction
// of a millisecond apart, and the end of one cycle may still be on its way when
// the next request is answered: no run may hang, each sees its own scan end.
// Every other run uses Qt's own event dispatcher instead of GLib's (both are
// chosen in the field); with it both events arrive in one batch, which a wait
// that loops on processEvents never woke from.
TEST_F(CtlTest, ManyBackToBackScanWaitsAllEnd) {
    startService({{"MW_SCAN_PAUSE_MS", "0"}});
    const std::string empty = tree / "empty";
    ASSERT_EQ(::mkdir(empty.c_str(), 0755), 0);
    ASSERT_EQ(ctl({"set", "folder=" + empty}).status, 0);
    constexpr int kRuns = 200;
    for (int i = 0; i < kRuns; ++i) {
        const CommandResult r = i % 2 ? ctl({"scan", "--wait"})
                                      : ctl({"scan", "--wait"}, {{"QT_NO_GLIB", "1"}});
        ASSERT_EQ(r.status, 0) << "run " << i << ": " << r.out << r.err;
        ASSERT_NE(r.out.find("Scan finished: 0.00 MB freed."), std::string::npos) << r.out;
    }
}

TEST_F(CtlTest, ScanWaitFailsWhenTheServiceStopsDuringTheScan) {
    // A long pause between scanStarted and the pass keeps the scan running.
    startService({{"MW_SCAN_PAUSE_MS", "600000"}});
    ASSERT_EQ(ctl({"set", "folder=" + tree.path(), "types=.bak"}).status, 0);
    Child waiting({"sh", "-c",
                   "exec '" + kMwCtl + "' scan --wait > '" + tree / "out.txt" + "' 2> '" +
                       tree / "err.txt" + "'"},
                  {{"DBUS_SESSION_BUS_ADDRESS", bus.address()},
                   {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent"}});
    ASSERT_TRUE(waitUntil([&] { return engine("ActivityState") == "i 1"; }));

    // A second request during the scan is dropped, and said so.
    auto r = ctl({"scan", "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(parseJson(r.out)["running"], true);
    // A preview has to wait for the scan's end.
    r = ctl({"preview"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("org.morrowick.Error.ScanRunning"), std::string::npos) << r.err;

    ASSERT_EQ(service->signalAndWait(SIGTERM, 60), 0);
    EXPECT_EQ(waiting.wait(60), 1);
    EXPECT_EQ(readFile(tree / "err.txt"), "mwctl: the service stopped before the scan finished\n");
    EXPECT_EQ(readFile(tree / "out.txt"), "Scan started.\n");
}

} // namespace
} // namespace MW::Test
