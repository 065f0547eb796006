// mwctl status, set, reset-count and undeleted against the real service, and the
// errors a user can make.

#include "CtlFixture.h"

#include <QJsonArray>
#include <sys/stat.h>

namespace MW::Test {
namespace {

TEST_F(CtlTest, StatusShowsEverySettingThatSetWrote) {
    // Nothing on either bus yet: status says so, other commands fail.
    auto r = ctl({"status", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    QJsonObject doc = parseJson(r.out);
    EXPECT_EQ(doc["running"], false);
    EXPECT_EQ(doc["registered"], false);
    r = ctl({"--user", "scan"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "mwctl: mwservice is neither running nor registered on the session bus\n");

    startService();
    const std::string drawings = tree / "Drawings";
    ASSERT_EQ(::mkdir(drawings.c_str(), 0755), 0);
    // A relative folder is made absolute: the service has another working folder.
    r = ctl({"set", "folder=" + tree / "Drawings/../Drawings", "types=dwl,BAK,*.0*.rvt",
             "other-types=.tmp, .log", "age=3months", "time=07:45"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Changed: folder, types, other-types, age, time.\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(config("ScanFolder"), "s \"" + drawings + "\"");
    EXPECT_EQ(config("FileTypes"), "s \".bak,.dwl,.rvt\"");
    EXPECT_EQ(config("OtherFileTypes"), "s \".tmp, .log\"");
    EXPECT_EQ(config("DeleteAge"), "i 3");
    ASSERT_TRUE(
        setProperty(bus.address(), kConfig, kConfigIface, "CleanedSpace", {"t", "1572864"}));

    r = ctl({"status", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    doc = parseJson(r.out);
    EXPECT_EQ(doc["running"], true);
    EXPECT_EQ(doc["state"], "idle");
    EXPECT_EQ(doc["bus"], "session");
    EXPECT_EQ(doc["folder"].toString().toStdString(), drawings);
    EXPECT_EQ(doc["fileTypes"], ".bak,.dwl,.rvt");
    EXPECT_EQ(doc["otherFileTypes"], ".tmp, .log");
    EXPECT_EQ(doc["age"], "3months");
    EXPECT_EQ(doc["deleteAge"], 3);
    EXPECT_EQ(doc["startTime"], "07:45");
    // The service keeps the next due moment: today or tomorrow at 07:45.
    const QDateTime due = QDateTime::fromString(doc["nextScan"].toString(), Qt::ISODate);
    EXPECT_EQ(due.time(), QTime(7, 45));
    EXPECT_GT(due, QDateTime::currentDateTime());
    EXPECT_LE(due, QDateTime::currentDateTime().addDays(1));
    EXPECT_EQ(doc["lastScan"], "");
    EXPECT_EQ(doc["cleanedSpace"], 1572864);
    EXPECT_EQ(doc["cleanedSpaceMB"], "1.50");
    EXPECT_EQ(doc["undeletedCount"], 0);
    EXPECT_EQ(doc["undeletedLog"].toString().toStdString(), state + "/undeleted.tmp");

    r = ctl({"status"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = splitLines(r.out);
    ASSERT_EQ(lines.size(), 9u) << r.out;
    EXPECT_EQ(lines[0], "Service:        running, idle (session bus)");
    EXPECT_EQ(lines[1], "Folder:         " + drawings);
    EXPECT_EQ(lines[4], "Age:            3months");
    EXPECT_EQ(lines[5].rfind("Start time:     07:45 (next scan ", 0), 0u) << lines[5];
    EXPECT_EQ(lines[6], "Last scan:      never");
    EXPECT_EQ(lines[7], "Cleaned space:  1.50 MB");
    EXPECT_EQ(lines[8], "Undeleted:      0 (" + state + "/undeleted.tmp)");

    r = ctl({"reset-count"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Cleaned space reset to 0.00 MB.\n");
    EXPECT_EQ(config("CleanedSpace"), "t 0");
}

TEST_F(CtlTest, SetRefusesBadInputBeforeWritingAnything) {
    startService();
    const auto before = config("ScanFolder");
    const auto ageBefore = config("DeleteAge");
    writeFile(tree / "plain.txt", "x");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"colour=red"}, "unknown setting \"colour\""},
        {{"types=.bak,.doc"}, "unknown type \".doc\""},
        {{"age=fortnight"}, "unknown age \"fortnight\""},
        {{"time=25:00"}, "time \"25:00\" is not a time of day"},
        {{"folder=" + tree / "missing"}, "folder " + tree / "missing" + " does not exist"},
        {{"folder=" + tree / "plain.txt"}, "is not a folder"},
        {{"age"}, "\"age\" is not NAME=VALUE"},
        // One good value among bad ones is not written either.
        {{"age=day", "time=24:00"}, "time \"24:00\""},
    };
    for (const auto& [args, expected] : cases) {
        std::vector<std::string> argv{"set"};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto r = ctl(argv);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_NE(r.err.find(expected), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("nothing was changed"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(config("ScanFolder"), before);
    EXPECT_EQ(config("DeleteAge"), ageBefore);

    // With --json the error is a document too; the readable line stays on stderr.
    const auto r = ctl({"--json", "set", "age=fortnight"});
    EXPECT_EQ(r.status, 1);
    const QJsonObject error = parseJson(r.out)["error"].toObject();
    EXPECT_TRUE(error["message"].toString().startsWith("unknown age \"fortnight\""));
    EXPECT_NE(r.err.find("mwctl: unknown age"), std::string::npos);
}

TEST_F(CtlTest, CommandLineMistakesHelpAndVersion) {
    auto r = ctl({"clean"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "mwctl: unknown command clean (mwctl --help lists the commands)\n");
    r = ctl({"status", "--wait", "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(parseJson(r.out)["error"].toObject()["message"],
              "--wait belongs to scan (mwctl --help lists the commands)");
    r = ctl({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* word : {"status", "set NAME=VALUE", "scan [--wait]", "undeleted",
                             "reset-count", "preview", "--user", "--system", "--json"})
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    r = ctl({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "mwctl " MW_VERSION "\n");
}

TEST_F(CtlTest, ServiceRefusalIsOneReadableLine) {
    // The group check on, with a group nobody is in: only root may write, and
    // mwctl runs as another user.
    Env env = sandbox.env();
    env.emplace_back("DBUS_SESSION_BUS_ADDRESS", bus.address());
    giveToNobody(state);
    service = std::make_unique<Child>(asNobody({kMwService, "--bus=session", "--state-dir=" + state,
                                                "--auth-group=mw-no-such-group"}),
                                      env);
    ASSERT_TRUE(waitUntil([&] { return ownerPid(bus.address()) > 0; }));
    if (::geteuid() == 0)
        ::chmod(sandbox.dir.path().c_str(), 0755);
    const auto r = runCommand(asNobody({kMwCtl, "set", "age=week", "time=10:00"}),
                              {{"DBUS_SESSION_BUS_ADDRESS", bus.address()},
                               {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent"}});
    EXPECT_EQ(r.status, 4);
    const auto lines = splitLines(r.err);
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_EQ(lines[0], "mwctl: only root and members of the group \"mw-no-such-group\" may "
                        "change the session service");
    EXPECT_EQ(config("DeleteAge"), "i 1");
}

TEST_F(CtlTest, UndeletedListsWhatTheLastScanLeft) {
    startService();
    // The service writes the list; mwctl reads the file the engine names.
    writeFile(state + "/undeleted.tmp", std::string("/srv/a/keep.bak\n/srv/caf\xe9.dwl\n"));
    auto r = ctl({"undeleted"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "/srv/a/keep.bak\n/srv/caf\xc3\xa9.dwl\n");
    r = ctl({"undeleted", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject doc = parseJson(r.out);
    EXPECT_EQ(doc["count"], 0); // no scan has counted them
    EXPECT_EQ(doc["path"].toString().toStdString(), state + "/undeleted.tmp");
    EXPECT_EQ(doc["files"].toArray().size(), 2);
    EXPECT_EQ(doc["files"].toArray()[1], QString::fromUtf8("/srv/caf\xc3\xa9.dwl"));

    // A line past PATH_MAX is cut there; the lines after it are whole.
    writeFile(state + "/undeleted.tmp",
              "/srv/" + std::string(1024 * 1024, 'l') + "\r\n/srv/after.bak\r\n");
    r = ctl({"undeleted"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "/srv/" + std::string(4091, 'l') + "\n/srv/after.bak\n");

    ::unlink((state + "/undeleted.tmp").c_str());
    r = ctl({"undeleted"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

} // namespace
} // namespace MW::Test
