// A whole scan driven through the bus, watched through the service's signals.

#include "E2eSupport.h"
#include "LocalClock.h"
#include "TestBus.h"
#include "Text.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace MW::Test {
namespace {

// Files the service cannot delete need a service without root's rights.
std::vector<std::string> asUnprivileged(std::vector<std::string> argv) {
    if (::geteuid() != 0)
        return argv;
    argv.insert(argv.begin(),
                {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
    return argv;
}

void own(const std::string& path) {
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0) << path;
    }
}

TEST(Scan, ScanNowThroughTheBusDeletesOldFilesSignalsTotalsAndLogsEachStep) {
    Sandbox sandbox;
    TestBus bus;
    const std::string& address = bus.address();
    TempDir tree;
    ::chmod(tree.path().c_str(), 0755);
    const std::string work = tree / "Work", sub = work + "/Sub", deep = sub + "/Deep",
                      locked = work + "/Locked";
    for (const auto& dir : {work, sub, deep, locked})
        ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    const long week = 7 * 86400;
    writeFile(work + "/A.BAK", std::string(1000, 'a'));
    setAge(work + "/A.BAK", 5 * week);
    writeFile(deep + "/plan.dwl", std::string(2345, 'p'));
    setAge(deep + "/plan.dwl", 5 * week);
    writeFile(work + "/young.bak", "y");
    setAge(work + "/young.bak", 86400);
    writeFile(work + "/notes.txt", "n");
    setAge(work + "/notes.txt", 5 * week);
    writeFile(locked + "/keep.bak", "k");
    setAge(locked + "/keep.bak", 5 * week);
    ::chmod(locked.c_str(), 0555);
    for (const auto& dir : {work, sub, deep})
        own(dir);
    const std::string state = tree / "state";
    ASSERT_EQ(::mkdir(state.c_str(), 0755), 0);
    own(state);

    Env env = sandbox.env();
    env.emplace_back("DBUS_SESSION_BUS_ADDRESS", address);
    Child service(asUnprivileged({kMwService, "--bus=session", "--state-dir=" + state}), env);
    ASSERT_TRUE(waitUntil([&] { return ownerPid(address) > 0; }));

    // Signals are watched with gdbus; a test event shows when it is listening.
    const std::string signals = tree / "signals.txt";
    Child monitor({"sh", "-c",
                   "exec stdbuf -oL gdbus monitor --address '" + address +
                       "' --dest org.morrowick.Service > '" + signals + "'"});
    ASSERT_TRUE(waitUntil([&] {
        busctl(address, {"call", kName, kEngine, kEngineIface, "fireEvent", "i", "4"});
        return readFile(signals).find(".test ()") != std::string::npos;
    }));

    auto set = [&](const std::string& name, const std::string& type, const std::string& value) {
        return setProperty(address, kConfig, kConfigIface, name, {type, value});
    };
    ASSERT_TRUE(set("ScanFolder", "s", work));
    ASSERT_TRUE(set("FileTypes", "s", ".bak,.dwl"));
    ASSERT_TRUE(set("DeleteAge", "i", "1"));
    ASSERT_EQ(busctl(address, {"call", kName, kEngine, kEngineIface, "scanNow"}).status, 0);
    ASSERT_TRUE(
        waitUntil([&] { return readFile(signals).find(".scanFinished ()") != std::string::npos; }));

    // Events: started, the running total after each deleted file (two totals that
    // waited for the bus together arrive as the latest one), finished.
    std::vector<std::string> events;
    for (const auto& line : splitLines(readFile(signals)))
        if (auto at = line.find("IMorrowickEvents.");
            at != std::string::npos && line.find(".test") == std::string::npos)
            events.push_back(line.substr(at + 17));
    ASSERT_GE(events.size(), 3u) << readFile(signals);
    ASSERT_LE(events.size(), 4u) << readFile(signals);
    EXPECT_EQ(events.front(), "scanStarted ()");
    EXPECT_EQ(events.back(), "scanFinished ()");
    EXPECT_EQ(events[events.size() - 2], "updateCleanedSpace (uint64 3345,)");
    if (events.size() == 4) {
        EXPECT_TRUE(events[1] == "updateCleanedSpace (uint64 1000,)" ||
                    events[1] == "updateCleanedSpace (uint64 2345,)")
            << events[1];
    }

    const std::string lowered = Common::asciiLower(work);
    auto engine = [&](const std::string& name) {
        return getProperty(address, kEngine, kEngineIface, name);
    };
    EXPECT_EQ(getProperty(address, kConfig, kConfigIface, "CleanedSpace"), "t 3345");
    EXPECT_EQ(engine("UndeletedCount"), "i 1");
    EXPECT_EQ(engine("ActivityState"), "i 0");
    EXPECT_EQ(readFile(state + "/undeleted.tmp"), lowered + "/locked/keep.bak\n");
    EXPECT_FALSE(exists(work + "/A.BAK"));
    EXPECT_FALSE(exists(deep + "/plan.dwl"));
    for (const auto& kept : {work + "/young.bak", work + "/notes.txt", locked + "/keep.bak"})
        EXPECT_TRUE(exists(kept)) << kept;

    EXPECT_EQ(service.signalAndWait(SIGTERM, 60), 0);
    ::chmod(locked.c_str(), 0755);
    const auto log = splitLines(readFile(state + "/mwservice.log"));
    int at = 0;
    for (const std::string& step :
         {kStartBanner, std::string("CCleaner: TimerNow set to: "),
          std::string("CCleaner: Starting the scanning process!"), "Scanning !" + work,
          std::string("CCleaner: Scanning finished!"), std::string("Last scan time: "),
          std::string("Cleaned space: 3345"), std::string("CCleaner: Timer set to: ")}) {
        const int found = findLine(log, step, at);
        ASSERT_GE(found, 0) << "missing after line " << at << ": " << step << "\n"
                            << readFile(state + "/mwservice.log");
        at = found + 1;
    }
    for (const auto& folder : {sub, deep, locked})
        EXPECT_GE(findLine(log, "Scanning !" + folder), 0) << folder;
    for (const auto& gone : {lowered + "/a.bak", Common::asciiLower(deep) + "/plan.dwl"}) {
        const int deleted = findLine(log, "File has been deleted: " + gone);
        ASSERT_GT(deleted, 0) << gone;
        EXPECT_EQ(log[static_cast<std::size_t>(deleted - 1)].rfind("Current date: ", 0), 0u);
    }
    EXPECT_GE(findLine(log, "File has not been deleted: " + lowered + "/locked/keep.bak"), 0);
    EXPECT_EQ(findLine(log, "File has been deleted: " + lowered + "/young.bak"), -1);
    EXPECT_EQ(log.back(), "---------- Service stopped! ----------");
}

// The local time of day `seconds` from now, as a date text the service takes.
std::string timeOfDayIn(int seconds) {
    const std::time_t at = std::time(nullptr) + seconds;
    std::tm local{};
    ::localtime_r(&at, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

struct RunningService {
    explicit RunningService(const std::string& pauseMs = "100") {
        env.emplace_back("DBUS_SESSION_BUS_ADDRESS", bus.address());
        env.emplace_back("MW_SCAN_PAUSE_MS", pauseMs);
        ::chmod(tree.path().c_str(), 0755);
        writeFile(tree / "old.bak", "o");
        setAge(tree / "old.bak", 30 * 86400);
    }
    bool set(const std::string& name, const std::vector<std::string>& typeAndValue) {
        return setProperty(bus.address(), kConfig, kConfigIface, name, typeAndValue);
    }
    std::string get(const char* path, const char* iface, const std::string& name) {
        return getProperty(bus.address(), path, iface, name);
    }

    Sandbox sandbox;
    TestBus bus;
    TempDir tree;
    Env env = sandbox.env();
};

TEST(Scan, AStartTimeWrittenThroughTheBusReArmsTheRunningService) {
    RunningService s;
    Child service({kMwService, "--bus=session"}, s.env);
    ASSERT_TRUE(waitUntil([&] { return ownerPid(s.bus.address()) > 0; }));
    ASSERT_TRUE(s.set("ScanFolder", {"s", s.tree.path()}));
    ASSERT_TRUE(s.set("FileTypes", {"s", ".bak"}));
    EXPECT_EQ(s.get(kConfig, kConfigIface, "LastScan"), "s \"\"");

    // A few seconds ahead: the service runs its scan then, not tomorrow.
    ASSERT_TRUE(s.set("StartTime", {"v", "s", timeOfDayIn(3)}));
    EXPECT_TRUE(waitUntil([&] { return !exists(s.tree / "old.bak"); }));
    EXPECT_TRUE(waitUntil([&] { return s.get(kConfig, kConfigIface, "LastScan") != "s \"\""; }));
    EXPECT_EQ(service.signalAndWait(SIGTERM, 60), 0);
}

TEST(Scan, EveryClientHearsOfEachSettingThatChangesWhoeverChangedIt) {
    RunningService s;
    Child service({kMwService, "--bus=session"}, s.env);
    ASSERT_TRUE(waitUntil([&] { return ownerPid(s.bus.address()) > 0; }));
    // One client listens (gdbus); changes that it hears show when it is listening.
    const std::string heard = s.tree / "heard.txt";
    Child monitor({"sh", "-c",
                   "exec stdbuf -oL gdbus monitor --address '" + s.bus.address() +
                       "' --dest org.morrowick.Service > '" + heard + "'"});
    int probe = 0;
    ASSERT_TRUE(waitUntil([&] {
        s.set("ContactName", {"s", "probe " + std::to_string(++probe)});
        return readFile(heard).find("'ContactName': <'probe") != std::string::npos;
    }));
    const auto lines = [&] { return splitLines(readFile(heard)); };
    // The first PropertiesChanged of the Config object that names `property`, or -1.
    const auto changeOf = [&](const std::string& property) {
        const auto all = lines();
        for (std::size_t i = 0; i < all.size(); ++i)
            if (all[i].rfind("/org/morrowick/Config: org.freedesktop.DBus.Properties."
                             "PropertiesChanged ('org.morrowick.IConfig', {",
                             0) == 0 &&
                all[i].find("'" + property + "': <") != std::string::npos)
                return static_cast<int>(i);
        return -1;
    };

    // Another client (busctl) changes settings; writing a value again is no change.
    ASSERT_TRUE(s.set("ScanFolder", {"s", s.tree.path()}));
    ASSERT_TRUE(s.set("FileTypes", {"s", ".bak"}));
    ASSERT_TRUE(s.set("FileTypes", {"s", ".bak"}));
    // The listener hears the start time the schedule made of the time of day.
    const DueTime due = dueTimeAhead(3);
    char time[8];
    std::snprintf(time, sizeof time, "%02d:%02d", due.hour, due.minute);
    ASSERT_TRUE(s.set("StartTime", {"v", "s", time}));
    ASSERT_TRUE(waitUntil([&] { return changeOf("StartTime") >= 0; }));
    const std::string startTime = lines()[static_cast<std::size_t>(changeOf("StartTime"))];
    const auto value = startTime.find("'StartTime': <<");
    ASSERT_NE(value, std::string::npos) << startTime;
    EXPECT_NEAR(std::stod(startTime.substr(value + 15)), due.oleDate, 1e-6) << startTime;

    // The service's own changes during a scan: the date is heard before scanFinished.
    ASSERT_EQ(busctl(s.bus.address(), {"call", kName, kEngine, kEngineIface, "scanNow"}).status, 0);
    ASSERT_TRUE(waitUntil([&] {
        return findLine(lines(), "/org/morrowick/Morrowick: "
                                 "org.morrowick.IMorrowickEvents."
                                 "scanFinished ()") >= 0;
    }));
    const auto all = lines();
    const int finished = findLine(all, "/org/morrowick/Morrowick: org.morrowick."
                                       "IMorrowickEvents.scanFinished ()");
    const int lastScan = changeOf("LastScan");
    ASSERT_GE(lastScan, 0) << readFile(heard);
    EXPECT_LT(lastScan, finished) << readFile(heard);
    EXPECT_GE(changeOf("CleanedSpace"), 0) << readFile(heard);
    EXPECT_NE(readFile(heard).find("'CleanedSpace': <uint64 1>"), std::string::npos)
        << readFile(heard);
    EXPECT_GE(changeOf("ScanFolder"), 0);
    std::size_t fileTypes = 0;
    for (const auto& line : all)
        fileTypes += line.find("'FileTypes': <") != std::string::npos;
    EXPECT_EQ(fileTypes, 1u) << readFile(heard);
    EXPECT_EQ(service.signalAndWait(SIGTERM, 60), 0);
}

TEST(Scan, AStopDuringAScanEndsItAndTheServiceCleanly) {
    // The longest pause before the pass, so that the stop comes inside the scan.
    RunningService s("5000");
    auto run = std::async(std::launch::async, [&] {
        return runCommand({kMwService, "--bus=session"}, s.env, 120);
    });
    ASSERT_TRUE(waitUntil([&] { return ownerPid(s.bus.address()) > 0; }));
    ASSERT_TRUE(s.set("ScanFolder", {"s", s.tree.path()}));
    ASSERT_TRUE(s.set("FileTypes", {"s", ".bak"}));
    ASSERT_TRUE(s.set("ContactName", {"s", "Saved"}));
    ASSERT_EQ(busctl(s.bus.address(), {"call", kName, kEngine, kEngineIface, "scanNow"}).status, 0);
    ASSERT_TRUE(waitUntil([&] { return s.get(kEngine, kEngineIface, "ActivityState") == "i 1"; }));

    ::kill(ownerPid(s.bus.address()), SIGTERM);
    const auto result = run.get();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(exists(s.tree / "old.bak")) << "the abandoned scan went on";
    EXPECT_NE(readFile(s.sandbox.file("settings.mwk")).find(std::string("S\0a\0v\0e\0d\0", 10)),
              std::string::npos);
    const auto log = splitLines(readFile(s.sandbox.file("mwservice.log")));
    EXPECT_GE(findLine(log, "CCleaner: Starting the scanning process!"), 0);
    EXPECT_EQ(findLine(log, "CCleaner: Scanning finished!"), -1);
    EXPECT_EQ(log.back(), "---------- Service stopped! ----------");
}

} // namespace
} // namespace MW::Test
