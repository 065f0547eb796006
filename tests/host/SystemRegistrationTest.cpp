// The system verbs, relocated below a temporary root and served by a private bus
// of the system type; systemd itself does not run here.

#include "E2eSupport.h"
#include "TestBus.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace MW::Test {
namespace {

// The default rules of the system bus, to which the service's policy adds.
const std::string kSystemDefaults = R"(  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Properties"/>
  </policy>
)";

class SystemVerbs : public ::testing::Test {
protected:
    // The program is run from a folder whose name each registration file must quote.
    SystemVerbs()
        : bus(busOptions(root, sandbox)), program(root / "opt/Mw 50% $HOME (q)/mwservice") {
        ::chmod(root.path().c_str(), 0755);
        std::filesystem::create_directories(std::filesystem::path(program).parent_path());
        std::filesystem::copy_file(kMwService, program);
    }
    static TestBus::Options busOptions(const TempDir& root, const Sandbox& sandbox) {
        TestBus::Options options;
        options.type = "system";
        options.openPolicy = false;
        options.serviceDirs = {root / "usr/local/share/dbus-1/system-services"};
        options.extraConfig =
            kSystemDefaults + "  <includedir>" + root / "etc/dbus-1/system.d" + "</includedir>\n";
        options.env = sandbox.env();
        options.env.emplace_back("STATE_DIRECTORY", sandbox.stateDir());
        return options;
    }
    CommandResult verb(const std::string& name, const std::string& systemBus, Env env = {}) {
        env.emplace_back("DBUS_SYSTEM_BUS_ADDRESS", systemBus);
        return runCommand({program, name, "--root=" + root.path()}, env);
    }
    std::string unit() const { return root / "etc/systemd/system/mwservice.service"; }
    std::string wants() const {
        return root / "etc/systemd/system/multi-user.target.wants/mwservice.service";
    }
    std::string activation() const {
        return root / "usr/local/share/dbus-1/system-services/org.morrowick.Service.service";
    }
    std::string policy() const { return root / "etc/dbus-1/system.d/org.morrowick.Service.conf"; }
    static std::vector<std::string> asNobody(std::vector<std::string> argv) {
        argv.insert(argv.begin(),
                    {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
        return argv;
    }

    Sandbox sandbox;
    TempDir root;
    TestBus bus;
    std::string program;
};

TEST_F(SystemVerbs, RegServerLetsTheSystemBusStartTheServiceForEveryoneButOnlyRootOwnsIt) {
    const auto reg = verb("-RegServer", bus.address());
    ASSERT_EQ(reg.status, 0) << reg.err;
    EXPECT_FALSE(exists(unit()));
    EXPECT_EQ(readFile(activation()).find("SystemdService"), std::string::npos);
    EXPECT_TRUE(exists(policy()));
    if (::geteuid() != 0)
        GTEST_SKIP() << "the rest calls the bus as another user, which needs root";

    const std::string a = "--address=" + bus.address();
    const auto read = runCommand(
        asNobody({"busctl", a, "get-property", kName, kEngine, kEngineIface, "UndeletedLog"}));
    EXPECT_EQ(read.out, "s \"" + sandbox.file("undeleted.tmp") + "\"\n") << read.err;
    EXPECT_EQ(
        std::filesystem::read_symlink("/proc/" + std::to_string(ownerPid(bus.address())) + "/exe"),
        program);
    // On the system bus only root (or the configured group) may change settings.
    const auto write = runCommand(asNobody(
        {"busctl", a, "set-property", kName, kConfig, kConfigIface, "ContactName", "s", "x"}));
    EXPECT_NE(write.status, 0);
    EXPECT_NE(write.err.find("ccess denied"), std::string::npos) << write.err;
    EXPECT_TRUE(setProperty(bus.address(), kConfig, kConfigIface, "ContactName", {"s", "root"}));
    const auto own =
        runCommand(asNobody({"busctl", a, "call", "org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus", "RequestName", "su", kName, "4"}));
    EXPECT_NE(own.status, 0) << own.out;
    ASSERT_TRUE(stopService(bus.address()));
    EXPECT_TRUE(exists(sandbox.file("settings.mwk")));

    const auto unreg = verb("-UnregServer", bus.address());
    EXPECT_EQ(unreg.status, 0) << unreg.err;
    EXPECT_FALSE(exists(activation()));
    EXPECT_FALSE(exists(policy()));
    EXPECT_EQ(getProperty(bus.address(), kEngine, kEngineIface, "UndeletedLog"), "");
}

TEST_F(SystemVerbs, ServiceInstallsAnEnabledUnitThatRegServerAndUnregServerRemove) {
    const auto service = verb("-Service", bus.address());
    ASSERT_EQ(service.status, 0) << service.err;
    EXPECT_NE(readFile(unit()).find("\nExecStart=\""), std::string::npos);
    EXPECT_TRUE(exists(wants()));
    EXPECT_NE(readFile(activation()).find("\nSystemdService=mwservice.service\n"),
              std::string::npos);
    if (!runCommand({"sh", "-c", "command -v systemd-analyze"}).out.empty()) {
        // It also finds the program through the quoted path, or fails.
        const auto verify = runCommand({"systemd-analyze", "verify", unit()});
        EXPECT_EQ(verify.status, 0) << verify.err;
        EXPECT_EQ(verify.out + verify.err, "");
    }

    const auto reg = verb("/regserver", bus.address());
    ASSERT_EQ(reg.status, 0) << reg.err;
    EXPECT_FALSE(exists(unit()));
    EXPECT_FALSE(exists(wants()));
    EXPECT_EQ(readFile(activation()).find("SystemdService"), std::string::npos);

    ASSERT_EQ(verb("-Service", bus.address()).status, 0);
    EXPECT_EQ(verb("-UnregServer", bus.address()).status, 0);
    for (const auto& file : {unit(), wants(), activation(), policy()})
        EXPECT_FALSE(exists(file)) << file;
    EXPECT_EQ(verb("-UnregServer", bus.address()).status, 0);
}

TEST_F(SystemVerbs, TheUnitIsConfinedAndYieldsToOtherWork) {
    if (runCommand({"sh", "-c", "command -v systemd-analyze"}).out.empty())
        GTEST_SKIP() << "systemd-analyze is not installed";
    ASSERT_EQ(verb("-Service", bus.address()).status, 0);
    const auto analysis =
        runCommand({"systemd-analyze", "security", "--offline=true", "--no-pager", unit()});
    const std::string marker = "Overall exposure level for mwservice.service: ";
    const auto at = analysis.out.find(marker);
    ASSERT_NE(at, std::string::npos) << analysis.out << analysis.err;
    const double exposure = std::stod(analysis.out.substr(at + marker.size()));
    EXPECT_LT(exposure, 2.0) << analysis.out;
    // A background cleaner on a file server: the disk when nobody else wants it,
    // the processor last.
    const std::string text = readFile(unit());
    EXPECT_NE(text.find("\nIOSchedulingClass=idle\n"), std::string::npos);
    EXPECT_NE(text.find("\nNice=19\n"), std::string::npos);
    // Every setting of the service is explained by the comment above it.
    const auto lines = splitLines(text);
    std::string section;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (!lines[i].empty() && lines[i][0] == '[')
            section = lines[i];
        if (section != "[Service]" || lines[i].empty() || lines[i][0] == '#' || lines[i][0] == '[')
            continue;
        std::size_t above = i - 1;
        while (above > 0 && !lines[above].empty() && lines[above][0] != '#' &&
               lines[above][0] != '[')
            --above;
        EXPECT_EQ(lines[above].rfind("#", 0), 0u) << "no comment for: " << lines[i];
    }
}

TEST_F(SystemVerbs, UnregServerAndRegServerAlsoRemoveAUnitInstalledInADistributionFolder) {
    // As cmake --install (prefix /usr/local) or a package leaves it, enabled.
    for (const std::string dir : {"usr/local/lib/systemd/system", "usr/lib/systemd/system"}) {
        SCOPED_TRACE(dir);
        const std::string installed = root / dir + "/mwservice.service";
        std::filesystem::create_directories(root / dir);
        writeFile(installed, "[Unit]\nDescription=x\n[Service]\nExecStart=/bin/true\n"
                             "[Install]\nWantedBy=multi-user.target\n");
        const auto enable = runCommand(
            {"systemctl", "--quiet", "--root=" + root.path(), "enable", "mwservice.service"});
        ASSERT_EQ(enable.status, 0) << enable.err;
        ASSERT_TRUE(exists(wants()));

        const auto unreg = verb("-UnregServer", bus.address());
        EXPECT_EQ(unreg.status, 0) << unreg.err;
        EXPECT_FALSE(exists(installed));
        EXPECT_FALSE(exists(wants())) << "the service stays enabled";

        // -RegServer leaves no unit behind either, also beside one of its own.
        ASSERT_EQ(verb("-Service", bus.address()).status, 0);
        writeFile(installed, "[Service]\nExecStart=/bin/true\n");
        const auto reg = verb("-RegServer", bus.address());
        EXPECT_EQ(reg.status, 0) << reg.err;
        EXPECT_FALSE(exists(installed));
        EXPECT_FALSE(exists(unit()));
        EXPECT_FALSE(exists(wants()));
    }
}

TEST_F(SystemVerbs, WithoutSystemBusSystemdOrSystemctlTheyFailAndChangeNothing) {
    const std::string noBus = "unix:path=" + root / "none";
    for (const char* name : {"-RegServer", "-Service"}) {
        const auto r = verb(name, noBus);
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.err.find("mwservice: the system bus is not available"), std::string::npos)
            << r.err;
    }
    EXPECT_FALSE(exists(root / "etc"));
    EXPECT_FALSE(exists(root / "usr"));

    // An installed unit cannot be removed without systemctl.
    for (const auto& dir : {root / "etc", root / "etc/systemd", root / "etc/systemd/system"})
        ::mkdir(dir.c_str(), 0755);
    writeFile(unit(), "[Service]\nExecStart=/bin/true\n");
    const auto r = verb("-RegServer", bus.address(), {{"PATH", root / "bin"}});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Could not open Service Manager"), std::string::npos) << r.err;
    EXPECT_TRUE(exists(unit()));
    EXPECT_FALSE(exists(activation()));
    EXPECT_FALSE(exists(policy()));

    if (exists("/run/systemd/system"))
        GTEST_SKIP() << "systemd runs here: the real -Service would install it";
    const auto real =
        runCommand({kMwService, "-Service"}, {{"DBUS_SYSTEM_BUS_ADDRESS", bus.address()}});
    EXPECT_EQ(real.status, 1);
    EXPECT_NE(real.err.find("Could not open Service Manager"), std::string::npos) << real.err;
    EXPECT_FALSE(exists("/etc/systemd/system/mwservice.service"));
}

TEST(SystemPolicy, ADaemonLoadsThePolicyFile) {
    TestBus::Options options;
    options.type = "system";
    options.extraConfig = std::string("  <include>") + MW_POLICY_FILE + "</include>\n";
    TestBus bus(options); // throws when the daemon refuses its configuration
    EXPECT_FALSE(bus.address().empty());
}

} // namespace
} // namespace MW::Test
