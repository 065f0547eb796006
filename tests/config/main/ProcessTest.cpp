// mwconfig as a real program: exit statuses, signals and the single-instance
// rule, with the real service on a private bus.

#include "ConfigProcess.h"
#include "SetCallMonitor.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace MW::Test {
namespace {

const std::string kMwCtl = MW_CTL_BINARY;
const std::string kConnectFailed = "Error!\tFailed to connect to service. Terminating the program.";

TEST(ConfigProgram, HelpAndVersionEndAtOnceWithZero) {
    const auto help = runCommand({kMwConfig, "--help"}, {{"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("/hide"), std::string::npos);
    EXPECT_NE(help.out.find("253"), std::string::npos);
    const auto version = runCommand({kMwConfig, "--version"}, {{"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "mwconfig " MW_VERSION "\n");
}

TEST(ConfigProgram, HelpNeedsNoDisplay) {
    const auto help =
        runCommand({"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM",
                    kMwConfig, "--help"});
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_NE(help.out.find("--screenshots=DIR"), std::string::npos);
}

TEST(ConfigProgram, ScreenshotsOfEachTabAndTheProxyDialogThenEnd) {
    ServiceEnvironment service;
    const std::string log = service.sandbox().dir / "messages.txt";
    const std::string dir = service.sandbox().dir / "pictures";
    ASSERT_TRUE(service.setConfig("ContactName", "s", "kept"));
    const auto result =
        runCommand({kMwConfig, "--screenshots=" + dir}, configEnv(service, log), 60);
    EXPECT_EQ(result.status, 0) << result.err;
    for (const char* name : {"mwconfig-1-overview.png", "mwconfig-2-settings.png",
                             "mwconfig-3-contact.png", "mwconfig-4-proxy.png"}) {
        const std::string picture = readFile(dir + "/" + name);
        EXPECT_GT(picture.size(), 2000u) << name;
        EXPECT_EQ(picture.substr(1, 3), "PNG") << name;
    }
    // It saved nothing and showed no message.
    EXPECT_EQ(service.getConfig("ContactName"), "s \"kept\"");
    EXPECT_EQ(readFile(log), "");
}

TEST(ConfigProgram, AServiceThatCannotBeActivatedGivesOneMessageAndExit254) {
    ServiceEnvironment service(ServiceEnvironment::Options{false});
    const std::string log = service.sandbox().dir / "messages.txt";
    const auto result = runCommand({kMwConfig}, configEnv(service, log), 60);
    EXPECT_EQ(result.status, 254) << result.err;
    EXPECT_EQ(readFile(log), kConnectFailed + "\n");
}

TEST(ConfigProgram, SigtermSavesWithoutMessagesAndEnds253) {
    ServiceEnvironment service;
    const std::string log = service.sandbox().dir / "messages.txt";
    ASSERT_TRUE(service.activate());
    ASSERT_TRUE(service.setConfig("ContactName", "s", "loaded"));
    Child config({kMwConfig}, configEnv(service, log));
    ASSERT_TRUE(waitUntilConnected(service, log));

    // Changed by another client meanwhile: the save at the end writes only what
    // the user changed here, which is nothing, so the other client's value stays.
    ASSERT_TRUE(service.setConfig("ContactName", "s", "changed behind"));
    EXPECT_EQ(config.signalAndWait(SIGTERM, 30), 253);
    EXPECT_EQ(service.getConfig("ContactName"), "s \"changed behind\"");

    // SIGINT (Ctrl+C) is the same request.
    const std::string log2 = service.sandbox().dir / "messages2.txt";
    Child again({kMwConfig}, configEnv(service, log2));
    ASSERT_TRUE(waitUntilConnected(service, log2));
    EXPECT_EQ(again.signalAndWait(SIGINT, 30), 253);
    // Saving at the end shows nothing, and nothing failed on the way.
    const std::string messages = readFile(log) + readFile(log2);
    EXPECT_EQ(countLines(messages, "Service is unavailable") + countLines(messages, "Failed to"), 0)
        << messages;
}

// With the service frozen, the save at the end has one bound for all its calls
// (not one per call), then the program ends saying so.
TEST(ConfigProgram, SigtermWithAHungServiceEndsWithinTheBoundAndSaysSo) {
    ServiceEnvironment service;
    const std::string log = service.sandbox().dir / "messages.txt";
    const std::string err = service.sandbox().dir / "stderr.txt";
    Child config({"sh", "-c", "exec '" + kMwConfig + "' /hide 2> '" + err + "'"},
                 configEnv(service, log));
    ASSERT_TRUE(waitUntilConnected(service, log));
    const int pid = service.servicePid();
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    const auto started = std::chrono::steady_clock::now();
    const int status = config.signalAndWait(SIGTERM, 40);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::steady_clock::now() - started)
                             .count();
    ::kill(pid, SIGCONT);
    EXPECT_EQ(status, 1);
    EXPECT_LE(seconds, 15);
    EXPECT_NE(readFile(err).find("mwconfig: the settings could not be saved before the end: "),
              std::string::npos)
        << readFile(err);
    EXPECT_EQ(countLines(readFile(log), "Error!"), 0) << "SIGTERM shows no message";
}

// mwctl and the configurator write the same service at once: neither undoes
// what the other changed. A scan started by mwctl walks the folder mwctl set,
// and the configurator's end leaves mwctl's settings as they are.
TEST(ConfigProgram, MwctlAndTheConfiguratorDoNotUndoEachOther) {
    ServiceEnvironment::Options options;
    options.scanPauseMs = 2000; // the configurator's save at the start lands before the walk
    ServiceEnvironment service(options);
    TempDir trees;
    const std::string a = trees / "a", b = trees / "b";
    for (const auto& dir : {a, b}) {
        ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
        writeFile(dir + "/old.bak", "old");
        setAge(dir + "/old.bak", 40 * 86400);
    }
    ASSERT_TRUE(service.activate());
    ASSERT_TRUE(service.setConfig("ScanFolder", "s", a));
    ASSERT_TRUE(service.setConfig("FileTypes", "s", ".bak"));
    ASSERT_TRUE(service.setConfig("DeleteAge", "i", "3"));
    const std::string log = service.sandbox().dir / "messages.txt";
    Child config({kMwConfig, "/hide"}, configEnv(service, log));
    ASSERT_TRUE(waitUntilConnected(service, log));

    const Env ctlEnv = service.env();
    auto r = runCommand({kMwCtl, "set", "folder=" + b, "age=week"}, ctlEnv);
    ASSERT_EQ(r.status, 0) << r.err;
    // The configurator saves when the scan starts, inside the service's event.
    r = runCommand({kMwCtl, "scan", "--wait"}, ctlEnv, 90);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_FALSE(exists(b + "/old.bak")) << "mwctl's folder was scanned";
    EXPECT_TRUE(exists(a + "/old.bak")) << "the configurator's old folder was not";
    EXPECT_EQ(service.getConfig("ScanFolder"), "s \"" + b + "\"");

    EXPECT_EQ(config.signalAndWait(SIGTERM, 30), 253);
    EXPECT_EQ(service.getConfig("ScanFolder"), "s \"" + b + "\"");
    EXPECT_EQ(service.getConfig("DeleteAge"), "i 1");
    EXPECT_EQ(countLines(readFile(log), "Error!"), 0) << readFile(log);
}

TEST(ConfigProgram, ASecondStartShowsTheFirstOneAndEndsWithZero) {
    ServiceEnvironment service;
    const std::string log = service.sandbox().dir / "messages.txt";
    Child first({kMwConfig, "/hide"}, configEnv(service, log));
    ASSERT_TRUE(waitUntilConnected(service, log));
    const int servicePid = service.servicePid();

    const auto second = runCommand({kMwConfig}, configEnv(service, log), 60);
    EXPECT_EQ(second.status, 0) << second.err;
    const auto third = runCommand({kMwConfig, "/hide"}, configEnv(service, log), 60);
    EXPECT_EQ(third.status, 0) << third.err;
    EXPECT_EQ(first.wait(0), -1) << "the first instance runs on";
    EXPECT_EQ(service.servicePid(), servicePid);
    EXPECT_EQ(first.signalAndWait(SIGTERM, 30), 253);

    // Once it has ended, the next start is a first instance again.
    const std::string log2 = service.sandbox().dir / "messages2.txt";
    Child next({kMwConfig}, configEnv(service, log2));
    ASSERT_TRUE(waitUntilConnected(service, log2));
    EXPECT_EQ(next.signalAndWait(SIGTERM, 30), 253);
}

TEST(ConfigProgram, WithoutASessionBusALockFileKeepsTheRule) {
    ServiceEnvironment service;
    const std::string log = service.sandbox().dir / "messages.txt";
    // No session bus: the service is found on the "system" bus instead.
    const Env noSessionBus{
        {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + service.sandbox().dir / "none"},
        {"DBUS_SYSTEM_BUS_ADDRESS", service.address()}};
    Child first({kMwConfig}, configEnv(service, log, noSessionBus));
    ASSERT_TRUE(waitUntilConnected(service, log));
    EXPECT_TRUE(exists(service.runtimeDir() + "/mwconfig.lock"));

    const auto second = runCommand({kMwConfig}, configEnv(service, log, noSessionBus), 60);
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(first.wait(0), -1) << "the first instance runs on";
    EXPECT_EQ(first.signalAndWait(SIGTERM, 30), 253);

    // The lock went with the process.
    const std::string log2 = service.sandbox().dir / "messages2.txt";
    Child next({kMwConfig}, configEnv(service, log2, noSessionBus));
    ASSERT_TRUE(waitUntilConnected(service, log2));
    EXPECT_EQ(next.signalAndWait(SIGTERM, 30), 253);
}

} // namespace
} // namespace MW::Test

namespace MW::Test {
namespace {

// mwconfig as a user the system service takes no changes from (not root, not
// in its group): it loads, follows the service's events, shows no failure, and
// never tries a write, neither at a scan's start nor when it ends.
TEST(ConfigProgramOnTheSystemBus, AReaderFollowsEventsAndNeverWrites) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run the configurator as another user";
    TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    const std::string user = dir / "user", state = dir / "state", empty = dir / "empty";
    for (const auto& d : {user, state, empty})
        ::mkdir(d.c_str(), 0755);
    ASSERT_EQ(::chown(user.c_str(), 65534, 65534), 0);
    ::chmod(user.c_str(), 0700);
    TestBus::Options options;
    options.type = "system";
    TestBus bus(options);

    Child service({kMwService, "--bus=system", "--state-dir=" + state},
                  {{"DBUS_SYSTEM_BUS_ADDRESS", bus.address()}});
    ASSERT_TRUE(waitUntil([&] { return ownerPid(bus.address()) > 0; }));
    auto root = [&](const std::vector<std::string>& args) {
        return busctl(bus.address(), args).status == 0;
    };
    ASSERT_TRUE(root({"set-property", kName, kConfig, kConfigIface, "ScanFolder", "s", empty}));
    // The system proxy in use: a writer's load would also write its values.
    ASSERT_TRUE(root({"set-property", kName, kConfig, kConfigIface, "ProxySysUsage", "i", "1"}));
    ASSERT_TRUE(root({"set-property", kName, kConfig, kConfigIface, "LastScan", "s", "before"}));
    SetCallMonitor monitor(bus.address(), dir / "sets.txt");
    ASSERT_TRUE(monitor.ready()) << monitor.text();

    const Env env{{"HOME", user},
                  {"XDG_CONFIG_HOME", user + "/.config"},
                  {"XDG_RUNTIME_DIR", user},
                  {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir / "no-session-bus"},
                  {"DBUS_SYSTEM_BUS_ADDRESS", bus.address()},
                  {"QT_QPA_PLATFORM", "offscreen"}};
    const std::vector<std::string> nobody{"setpriv", "--reuid=65534", "--regid=65534",
                                          "--clear-groups", "--", kMwConfig};

    // The pictures of a reader's window, taken as a program run would take them.
    Env pictureEnv = env;
    pictureEnv.emplace_back("MW_MESSAGE_LOG", user + "/pictures.txt");
    std::vector<std::string> pictures = nobody;
    pictures.push_back("--screenshots=" + user + "/pictures");
    const auto shot = runCommand(pictures, pictureEnv, 60);
    EXPECT_EQ(shot.status, 0) << shot.err;
    EXPECT_GT(readFile(user + "/pictures/mwconfig-2-settings.png").size(), 2000u);
    EXPECT_EQ(readFile(user + "/pictures.txt"), "");

    const std::string log = user + "/messages.txt";
    Env configEnv = env;
    configEnv.emplace_back("MW_MESSAGE_LOG", log);
    Child config(nobody, configEnv);
    auto testEvents = [&] { return countLines(readFile(log), "Info\tCMWObserver::test()"); };
    ASSERT_TRUE(waitUntil([&] {
        root({"call", kName, kEngine, kEngineIface, "fireEvent", "i", "4"});
        return testEvents() > 0;
    })) << "loaded from the system bus: "
        << readFile(log);

    // A scan start makes a writer save; this one has nothing to save.
    ASSERT_TRUE(root({"call", kName, kEngine, kEngineIface, "scanNow"}));
    ASSERT_TRUE(waitUntil([&] {
        return getProperty(bus.address(), kConfig, kConfigIface, "LastScan") != "s \"before\"";
    }));
    const int before = testEvents();
    ASSERT_TRUE(waitUntil([&] {
        root({"call", kName, kEngine, kEngineIface, "fireEvent", "i", "4"});
        return testEvents() > before;
    }));
    EXPECT_EQ(config.wait(0), -1);
    EXPECT_EQ(config.signalAndWait(SIGTERM, 30), 253);
    // Only the test events were shown, and no write was tried at any time.
    EXPECT_EQ(countLines(readFile(log), "\t"), testEvents()) << readFile(log);
    EXPECT_EQ(monitor.sets(), 0) << monitor.text();
}

} // namespace
} // namespace MW::Test
