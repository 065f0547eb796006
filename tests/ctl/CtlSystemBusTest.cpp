// mwctl and the service on a bus of the system type: the default choice of bus,
// and callers outside the service's group.

#include "CtlFixture.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace MW::Test {
namespace {

class CtlSystemBus : public CtlTest {
protected:
    CtlSystemBus() : systemBus(systemOptions()) {}
    static TestBus::Options systemOptions() {
        TestBus::Options options;
        options.type = "system";
        return options;
    }
    // mwctl as uid 65534, with the session bus that has no service and the system bus.
    CommandResult ctlAsNobody(const std::vector<std::string>& args) const {
        std::vector<std::string> argv{kMwCtl};
        argv.insert(argv.end(), args.begin(), args.end());
        return runCommand(asNobody(argv), clientEnv(), 90);
    }
    Env clientEnv() const {
        return {{"DBUS_SESSION_BUS_ADDRESS", bus.address()},
                {"DBUS_SYSTEM_BUS_ADDRESS", systemBus.address()}};
    }
    TestBus systemBus;
};

TEST_F(CtlSystemBus, OnlyRootAndTheGroupMayChangeButEveryoneMayRead) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "calling the system service as another user needs root";
    Env env = sandbox.env();
    env.emplace_back("DBUS_SYSTEM_BUS_ADDRESS", systemBus.address());
    Child root({kMwService, "--bus=system", "--state-dir=" + state}, env);
    ASSERT_TRUE(waitUntil([&] { return ownerPid(systemBus.address()) > 0; }));
    ASSERT_EQ(::mkdir((tree / "Plans").c_str(), 0755), 0);

    // Nothing on the session bus: the default finds the system service.
    auto r = ctlAsNobody({"status", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(parseJson(r.out)["bus"], "system");
    EXPECT_EQ(parseJson(r.out)["running"], true);
    r = ctlAsNobody({"--user", "status"});
    EXPECT_EQ(r.out, "Service:        not running (not registered on the session bus)\n");

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"set", "folder=" + tree / "Plans"},
          std::vector<std::string>{"scan"}, std::vector<std::string>{"reset-count"},
          std::vector<std::string>{"preview"}}) {
        // Asked before anything is sent: one line naming the group, status 4.
        r = ctlAsNobody(args);
        EXPECT_EQ(r.status, 4) << args[0];
        EXPECT_EQ(r.err, "mwctl: only root and members of the group \"morrowick\" may change the "
                         "system service\n");
        EXPECT_EQ(r.out, "");
    }
    r = ctlAsNobody({"--json", "scan"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(parseJson(r.out)["error"].toObject()["name"],
              "org.freedesktop.DBus.Error.AccessDenied");
    EXPECT_EQ(getProperty(systemBus.address(), kConfig, kConfigIface, "ScanFolder"), "s \"/\"");

    // Root may.
    r = runCommand({kMwCtl, "--system", "set", "folder=" + tree / "Plans"}, clientEnv());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(getProperty(systemBus.address(), kConfig, kConfigIface, "ScanFolder"),
              "s \"" + tree / "Plans" + "\"");
    EXPECT_EQ(root.signalAndWait(SIGTERM, 60), 0);
}

// A member of the service's group (here the group of gid 0, by a supplementary
// group) may change everything; the same uid without it may not, and no write of
// its reaches the service.
TEST_F(CtlSystemBus, AMemberOfTheGroupMayChange) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "calling the system service as another user needs root";
    const group* root = ::getgrgid(0);
    ASSERT_NE(root, nullptr);
    const std::string name = root->gr_name;
    Env env = sandbox.env();
    env.emplace_back("DBUS_SYSTEM_BUS_ADDRESS", systemBus.address());
    Child systemService(
        {kMwService, "--bus=system", "--state-dir=" + state, "--auth-group=" + name}, env);
    ASSERT_TRUE(waitUntil([&] { return ownerPid(systemBus.address()) > 0; }));
    ASSERT_EQ(::mkdir((tree / "Plans").c_str(), 0755), 0);
    ::chmod(tree.path().c_str(), 0755);

    auto r = ctlAsNobody({"set", "age=year"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, "mwctl: only root and members of the group \"" + name +
                         "\" may change the system service\n");
    EXPECT_EQ(getProperty(systemBus.address(), kConfig, kConfigIface, "DeleteAge"), "i 1");

    const std::vector<std::string> member{"setpriv", "--reuid=65534", "--regid=65534",
                                          "--groups=0", "--", kMwCtl};
    const auto asMember = [&](std::vector<std::string> args) {
        args.insert(args.begin(), member.begin(), member.end());
        return runCommand(args, clientEnv(), 90);
    };
    r = asMember({"set", "age=year", "folder=" + tree / "Plans"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(getProperty(systemBus.address(), kConfig, kConfigIface, "DeleteAge"), "i 5");
    r = asMember({"reset-count"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = asMember({"preview", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = asMember({"scan", "--wait"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(systemService.signalAndWait(SIGTERM, 60), 0);
}

} // namespace
} // namespace MW::Test
