// The service started by hand: its messages, its signals, its start-up failures,
// and suspend and resume as logind announces them.

#include "E2eSupport.h"
#include "TestBus.h"

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <poll.h>
#include <sdbus-c++/sdbus-c++.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace MW::Test {
namespace {

TEST(Run, ReportsItsLifeUnsupportedSignalsAndFailuresToStartOnItsStreams) {
    Sandbox sandbox;
    TestBus bus;
    Env env = sandbox.env();
    env.emplace_back("DBUS_SESSION_BUS_ADDRESS", bus.address());
    // "-Services" is no verb: the program runs.
    auto first = std::async(std::launch::async, [&] {
        return runCommand({kMwService, "-Services", "--bus=session"}, env, 120);
    });
    ASSERT_TRUE(waitUntil([&] { return ownerPid(bus.address()) > 0; }));
    const int pid = ownerPid(bus.address());

    TempDir other;
    const auto second = runCommand({kMwService, "--state-dir=" + other.path()}, env);
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.err.find("Could not own the name org.morrowick.Service on the session bus"),
              std::string::npos)
        << second.err;
    EXPECT_FALSE(exists(other / "settings.mwk"))
        << "a service that could not start touched its files";
    EXPECT_EQ(second.out.find("Service started/resumed"), std::string::npos)
        << "a second instance claimed to run: " << second.out;
    const auto badDir = runCommand({kMwService, "--state-dir=/proc/none/state"}, env);
    EXPECT_EQ(badDir.status, 1);
    EXPECT_NE(badDir.err.find("/proc/none"), std::string::npos) << badDir.err;
    EXPECT_EQ(runCommand({kMwService, "--bus=user"}, env).status, 2);

    ::kill(pid, SIGHUP);
    ::kill(pid, SIGUSR1);
    // Unsupported requests leave the service running.
    EXPECT_EQ(getProperty(bus.address(), kEngine, kEngineIface, "ActivityState"), "i 0");
    ::kill(pid, SIGTERM);
    const auto result = first.get();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(splitLines(result.out),
              (std::vector<std::string>{"Service started/resumed", "Bad service request",
                                        "Bad service request", "Service stopped"}));
    EXPECT_TRUE(exists(sandbox.file("settings.mwk")));
}

TEST(Run, UnderSystemdItReportsReadyThenStoppingAndKeepsStandardOutputQuiet) {
    Sandbox sandbox;
    TestBus bus;
    const std::string socketPath = sandbox.dir / "notify";
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    socketPath.copy(addr.sun_path, sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    Env env = sandbox.env();
    env.emplace_back("DBUS_SESSION_BUS_ADDRESS", bus.address());
    env.emplace_back("NOTIFY_SOCKET", socketPath);
    auto run = std::async(std::launch::async, [&] {
        return runCommand({kMwService, "--bus=session"}, env, 120);
    });
    ASSERT_TRUE(waitUntil([&] { return ownerPid(bus.address()) > 0; }));
    ::kill(ownerPid(bus.address()), SIGTERM);
    const auto result = run.get();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    std::vector<std::string> states;
    char buffer[512];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
        states.emplace_back(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    EXPECT_EQ(states, (std::vector<std::string>{"STATUS=Starting", "READY=1\nSTATUS=Running",
                                                "STOPPING=1\nSTATUS=Stopping"}));
    // On the session bus the state stays in the user's folders, also under systemd.
    EXPECT_TRUE(exists(sandbox.file("settings.mwk")));
}

std::string utf16(const std::u16string& text) {
    return {reinterpret_cast<const char*>(text.data()), text.size() * 2};
}

TEST(Run, LosingItsBusSavesTheSettingsAndEndsWithFailure) {
    Sandbox sandbox;
    auto bus = std::make_unique<TestBus>();
    Env env = sandbox.env();
    env.emplace_back("DBUS_SESSION_BUS_ADDRESS", bus->address());
    Child service({kMwService, "--bus=session"}, env);
    ASSERT_TRUE(waitUntil([&] { return ownerPid(bus->address()) > 0; }));
    ASSERT_TRUE(setProperty(bus->address(), kConfig, kConfigIface, "ContactName", {"s", "Kept"}));
    bus.reset();
    EXPECT_EQ(service.wait(60), 1);
    EXPECT_NE(readFile(sandbox.file("settings.mwk")).find(utf16(u"Kept")), std::string::npos);
}

TEST(Run, AStopWhoseSaveFailsSaysWhyAndEndsWithFailure) {
    Sandbox sandbox;
    TestBus bus;
    Env env = sandbox.env();
    env.emplace_back("DBUS_SESSION_BUS_ADDRESS", bus.address());
    auto run = std::async(std::launch::async, [&] {
        return runCommand({kMwService, "--bus=session"}, env, 120);
    });
    ASSERT_TRUE(waitUntil([&] { return ownerPid(bus.address()) > 0; }));
    const int pid = ownerPid(bus.address());
    const std::string saved = readFile(sandbox.file("settings.mwk"));
    ASSERT_TRUE(setProperty(bus.address(), kConfig, kConfigIface, "ContactName",
                            {"s", std::string(5000, 'c')}));
    // Files may no longer grow past 4 KiB, as on a full disk: the log still fits,
    // the settings no longer do.
    ASSERT_EQ(runCommand({"prlimit", "--pid", std::to_string(pid), "--fsize=4096:4096"}).status, 0);
    ::kill(pid, SIGTERM);
    const auto result = run.get();
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("The settings could not be saved to " + sandbox.file("settings.mwk") +
                              ": File too large"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(splitLines(result.out).back(), "Service stopped");
    EXPECT_EQ(readFile(sandbox.file("settings.mwk")), saved);
    const auto log = splitLines(readFile(sandbox.file("mwservice.log")));
    const int failed = findLine(log, "CSettings::saveToFile(): Exception in text_oarchive");
    EXPECT_GT(failed, 0);
    EXPECT_GT(findLine(log, "---------- Service stopped! ----------", failed), failed);
    for (const auto& entry : std::filesystem::directory_iterator(sandbox.stateDir()))
        EXPECT_NE(entry.path().filename().string().rfind(".mwtmp-", 0), 0u) << entry.path();
}

// Whether a thread of `pid` waits in the system call `number`.
bool threadWaitsIn(int pid, long number) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::istringstream line(readFile(task.path() / "syscall"));
        long current = -1;
        if (line >> current && current == number)
            return true;
    }
    return false;
}

TEST(Run, AStopDoesNotWaitForeverForAStuckScanAndStillSaves) {
    Sandbox sandbox;
    TestBus bus;
    // A file-system call that does not return: opening the undeleted-files list,
    // a pipe here that nobody reads, blocks the cleaner as a dead network mount
    // would.
    ASSERT_EQ(::mkdir(sandbox.stateDir().c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(sandbox.file("undeleted.tmp").c_str(), 0644), 0);
    Env env = sandbox.env();
    env.emplace_back("DBUS_SESSION_BUS_ADDRESS", bus.address());
    auto run = std::async(std::launch::async, [&] {
        return runCommand({kMwService, "--bus=session"}, env, 120);
    });
    ASSERT_TRUE(waitUntil([&] { return ownerPid(bus.address()) > 0; }));
    const int pid = ownerPid(bus.address());
    ASSERT_TRUE(setProperty(bus.address(), kConfig, kConfigIface, "ContactName", {"s", "Kept"}));
    ASSERT_EQ(busctl(bus.address(), {"call", kName, kEngine, kEngineIface, "scanNow"}).status, 0);
    ASSERT_TRUE(waitUntil([&] { return threadWaitsIn(pid, SYS_openat); }));

    ::kill(pid, SIGTERM);
    const auto result = run.get();
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("The cleaner did not end within 10 s"), std::string::npos)
        << result.err;
    EXPECT_EQ(splitLines(result.out).back(), "Service stopped");
    EXPECT_NE(readFile(sandbox.file("settings.mwk")).find(utf16(u"Kept")), std::string::npos);
    EXPECT_EQ(splitLines(readFile(sandbox.file("mwservice.log"))).back(),
              "---------- Service stopped! ----------");
}

TEST(Run, StartRemovesTemporaryFilesThatKilledSavesLeftBehind) {
    Sandbox sandbox;
    TestBus bus;
    ASSERT_EQ(::mkdir(sandbox.stateDir().c_str(), 0755), 0);
    // A process that has ended, and one that still runs (this test).
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const std::string stale = sandbox.file(".mwtmp-" + std::to_string(ended) + "-3");
    const std::string live = sandbox.file(".mwtmp-" + std::to_string(::getpid()) + "-0");
    const std::string other = sandbox.file(".mwtmp-notours");
    for (const auto& file : {stale, live, other})
        writeFile(file, "22 serialization::archive 9 0 0 1 /");
    Env env = sandbox.env();
    env.emplace_back("DBUS_SESSION_BUS_ADDRESS", bus.address());
    Child service({kMwService, "--bus=session"}, env);
    ASSERT_TRUE(waitUntil([&] { return ownerPid(bus.address()) > 0; }));
    EXPECT_EQ(service.signalAndWait(SIGTERM, 60), 0);
    EXPECT_FALSE(exists(stale));
    EXPECT_TRUE(exists(live));
    EXPECT_TRUE(exists(other));
}

// Plays logind on a private bus: hands out delay locks and announces sleep.
class FakeLogind {
public:
    static constexpr const char* kManager = "org.freedesktop.login1.Manager";
    explicit FakeLogind(const std::string& address)
        : m_pConnection(sdbus::createSessionBusConnectionWithAddress(address)) {
        m_pConnection->requestName("org.freedesktop.login1");
        m_pObject = sdbus::createObject(*m_pConnection, "/org/freedesktop/login1");
        m_pObject->registerMethod("Inhibit").onInterface(kManager).implementedAs(
            [this](const std::string& what, const std::string&, const std::string&,
                   const std::string& mode) {
                modes.push_back(what + "/" + mode);
                int fds[2];
                if (::pipe2(fds, O_CLOEXEC) != 0)
                    throw sdbus::Error("org.freedesktop.DBus.Error.Failed", "pipe");
                lockReadEnds.push_back(fds[0]);
                return sdbus::UnixFd(fds[1], sdbus::adopt_fd);
            });
        m_pObject->registerSignal("PrepareForSleep").onInterface(kManager).withParameters<bool>();
        m_pObject->finishRegistration();
    }
    ~FakeLogind() {
        for (const int fd : lockReadEnds)
            ::close(fd);
    }
    // Serves calls until `condition` holds (at most `seconds`).
    bool serveUntil(const std::function<bool()>& condition, int seconds = 60) {
        return waitUntil(
            [&] {
                while (m_pConnection->processPendingRequest()) {
                }
                return condition();
            },
            seconds);
    }
    void prepareForSleep(bool sleeping) {
        m_pObject->emitSignal("PrepareForSleep").onInterface(kManager).withArguments(sleeping);
    }
    static bool closedByHolder(int readEnd) {
        pollfd pfd{readEnd, POLLIN, 0};
        return ::poll(&pfd, 1, 0) == 1 && (pfd.revents & POLLHUP);
    }

    std::vector<std::string> modes;
    std::vector<int> lockReadEnds;

private:
    std::unique_ptr<sdbus::IConnection> m_pConnection;
    std::unique_ptr<sdbus::IObject> m_pObject;
};

TEST(Run, SuspendSavesBeforeReleasingTheSleepLockAndResumeRearmsTheTimer) {
    Sandbox sandbox;
    TestBus bus;
    FakeLogind logind(bus.address());
    Env env = sandbox.env();
    env.emplace_back("DBUS_SESSION_BUS_ADDRESS", bus.address());
    env.emplace_back("DBUS_SYSTEM_BUS_ADDRESS", bus.address());
    Child service({kMwService, "--bus=session"}, env);
    ASSERT_TRUE(logind.serveUntil([&] { return logind.modes.size() == 1; }));
    EXPECT_EQ(logind.modes[0], "sleep/delay");
    ASSERT_TRUE(setProperty(bus.address(), kConfig, kConfigIface, "ContactName", {"s", "Sleepy"}));

    logind.prepareForSleep(true);
    ASSERT_TRUE(
        logind.serveUntil([&] { return FakeLogind::closedByHolder(logind.lockReadEnds[0]); }));
    // The lock was let go only after the settings were saved.
    EXPECT_NE(readFile(sandbox.file("settings.mwk")).find(utf16(u"Sleepy")), std::string::npos);

    logind.prepareForSleep(false);
    ASSERT_TRUE(logind.serveUntil([&] { return logind.modes.size() == 2; }));
    EXPECT_EQ(service.signalAndWait(SIGTERM, 60), 0);
    const auto log = splitLines(readFile(sandbox.file("mwservice.log")));
    const int suspended =
        findLine(log, "---------- Service has been suspended per Hibernate! ----------");
    const int resumed =
        findLine(log, "---------- Service has been resumed per Hibernate! ----------", suspended);
    ASSERT_GT(suspended, 0);
    ASSERT_GT(resumed, suspended);
    EXPECT_GT(findLine(log, "CCleaner: Timer set to: ", resumed), resumed);
}

TEST(Run, SuspendCancelsAScanThatWouldFallDueDuringTheSleep) {
    Sandbox sandbox;
    TestBus bus;
    FakeLogind logind(bus.address());
    TempDir tree;
    writeFile(tree / "old.bak", "o");
    setAge(tree / "old.bak", 30 * 86400);
    Env env = sandbox.env();
    env.emplace_back("DBUS_SESSION_BUS_ADDRESS", bus.address());
    env.emplace_back("DBUS_SYSTEM_BUS_ADDRESS", bus.address());
    Child service({kMwService, "--bus=session"}, env);
    ASSERT_TRUE(logind.serveUntil([&] { return logind.modes.size() == 1; }));
    const auto set = [&](const std::string& name, const std::vector<std::string>& value) {
        return setProperty(bus.address(), kConfig, kConfigIface, name, value);
    };
    ASSERT_TRUE(set("ScanFolder", {"s", tree.path()}));
    ASSERT_TRUE(set("FileTypes", {"s", ".bak"}));
    // Due in three seconds, and the machine goes to sleep now.
    const std::time_t due = std::time(nullptr) + 3;
    std::tm local{};
    ::localtime_r(&due, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    ASSERT_TRUE(set("StartTime", {"v", "s", text}));
    logind.prepareForSleep(true);
    ASSERT_TRUE(
        logind.serveUntil([&] { return FakeLogind::closedByHolder(logind.lockReadEnds[0]); }));

    // Well past the due time nothing was scanned.
    EXPECT_FALSE(logind.serveUntil(
        [&] { return std::time(nullptr) > due + 2 && !exists(tree / "old.bak"); }, 6));
    EXPECT_TRUE(exists(tree / "old.bak"));
    EXPECT_EQ(getProperty(bus.address(), kConfig, kConfigIface, "LastScan"), "s \"\"");
    EXPECT_EQ(service.signalAndWait(SIGTERM, 60), 0);
}

} // namespace
} // namespace MW::Test
