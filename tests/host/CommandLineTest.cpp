#include "CommandLine.h"

#include "RunSetup.h"

#include <gtest/gtest.h>
#include <map>

namespace MW::Host {
namespace {

TEST(CommandLine, VerbIsFoundWithEitherIntroducerInAnyCase) {
    EXPECT_EQ(findVerb("-RegServer"), EVerb::eV_RegServer);
    EXPECT_EQ(findVerb("/regserver"), EVerb::eV_RegServer);
    EXPECT_EQ(findVerb("-UNREGSERVER"), EVerb::eV_UnregServer);
    EXPECT_EQ(findVerb("-RegServerPerUser"), EVerb::eV_RegServerPerUser);
    EXPECT_EQ(findVerb("/unregserverperuser"), EVerb::eV_UnregServerPerUser);
    EXPECT_EQ(findVerb("-Service"), EVerb::eV_Service);
    EXPECT_EQ(findVerb("/service"), EVerb::eV_Service);
    // The word ends at a blank, a tab or the end of the line, nowhere else.
    EXPECT_EQ(findVerb("-Service\t-x"), EVerb::eV_Service);
    EXPECT_EQ(findVerb("-Services"), EVerb::eV_None);
    EXPECT_EQ(findVerb("-RegServerX"), EVerb::eV_None);
    EXPECT_EQ(findVerb("-RegServerPerUse"), EVerb::eV_None);
    EXPECT_EQ(findVerb("RegServer"), EVerb::eV_None);
    EXPECT_EQ(findVerb(""), EVerb::eV_None);
    EXPECT_EQ(findVerb("-"), EVerb::eV_None);
}

TEST(CommandLine, RegistrationVerbsWinOverServiceAndTheFirstOneDecides) {
    EXPECT_EQ(findVerb("-Service -RegServer"), EVerb::eV_RegServer);
    EXPECT_EQ(findVerb("-UnregServer -RegServer"), EVerb::eV_UnregServer);
    EXPECT_EQ(findVerb("-RegServerPerUser /UnregServer"), EVerb::eV_RegServerPerUser);
    EXPECT_EQ(findVerb("-Services -Service"), EVerb::eV_Service);
    // A second introducer right after the first still introduces a word.
    EXPECT_EQ(findVerb("--RegServer"), EVerb::eV_RegServer);
}

TEST(CommandLine, OwnOptionsAreParsedAndNeverTakenForVerbs) {
    auto line = parseCommandLine({"--state-dir=/srv/Service", "--bus=system", "--auth-group=cad"});
    EXPECT_EQ(line.error, "");
    EXPECT_EQ(line.verb, EVerb::eV_None);
    EXPECT_EQ(line.options.stateDir, "/srv/Service");
    EXPECT_EQ(line.options.bus, EBusType::eBT_System);
    EXPECT_EQ(line.options.authGroup, "cad");

    line = parseCommandLine({"--root=/tmp/x", "-Service"});
    EXPECT_EQ(line.verb, EVerb::eV_Service);
    EXPECT_EQ(line.options.root, "/tmp/x");

    line = parseCommandLine({"--RegServer"});
    EXPECT_EQ(line.error, "");
    EXPECT_EQ(line.verb, EVerb::eV_RegServer);

    // An argument that is neither an option nor a verb is left alone: the program starts.
    line = parseCommandLine({"-Services", "extra"});
    EXPECT_EQ(line.error, "");
    EXPECT_EQ(line.verb, EVerb::eV_None);
}

TEST(CommandLine, BadOptionsAreRefusedWithAReason) {
    EXPECT_NE(parseCommandLine({"--bus=user"}).error, "");
    EXPECT_NE(parseCommandLine({"--state-dir="}).error, "");
    EXPECT_NE(parseCommandLine({"--root=relative"}).error, "");
    EXPECT_NE(parseCommandLine({"--auth-group="}).error, "");
    EXPECT_NE(parseCommandLine({"--stat-dir=/tmp"}).error, "");
    EXPECT_NE(parseCommandLine({"--no-auth", "--auth-group=cad"}).error, "");
}

class RunSetupTest : public ::testing::Test {
protected:
    RunSetup setup(const RunOptions& options = {}) {
        return makeRunSetup(
            options,
            [this](const std::string& name) -> std::optional<std::string> {
                auto it = env.find(name);
                return it == env.end() ? std::nullopt : std::optional<std::string>(it->second);
            },
            "/home/pw", "/work");
    }
    std::map<std::string, std::string> env;
};

TEST_F(RunSetupTest, BusIsTheOptionThenTheStarterThenByMode) {
    EXPECT_FALSE(setup().serviceMode);
    EXPECT_EQ(setup().bus, EBusType::eBT_Session);
    EXPECT_EQ(setup().busAddress, "");

    env["NOTIFY_SOCKET"] = "/run/systemd/notify";
    EXPECT_TRUE(setup().serviceMode);
    EXPECT_EQ(setup().bus, EBusType::eBT_System);

    env["DBUS_STARTER_BUS_TYPE"] = "session";
    env["DBUS_STARTER_ADDRESS"] = "unix:path=/tmp/bus";
    EXPECT_EQ(setup().bus, EBusType::eBT_Session);
    EXPECT_EQ(setup().busAddress, "unix:path=/tmp/bus");

    // An explicit bus other than the starter's does not use the starter's address.
    RunOptions options;
    options.bus = EBusType::eBT_System;
    EXPECT_EQ(setup(options).bus, EBusType::eBT_System);
    EXPECT_EQ(setup(options).busAddress, "");

    env["DBUS_STARTER_BUS_TYPE"] = "something";
    EXPECT_EQ(setup().bus, EBusType::eBT_System);
    EXPECT_EQ(setup().busAddress, "");
}

TEST_F(RunSetupTest, StateDirectoryFollowsTheBus) {
    EXPECT_EQ(setup().stateDir, "/home/pw/.local/state/morrowick");
    EXPECT_EQ(setup().defaultScanFolder, "/home/pw");
    env["HOME"] = "/home/u/";
    EXPECT_EQ(setup().stateDir, "/home/u//.local/state/morrowick");
    EXPECT_EQ(setup().defaultScanFolder, "/home/u");
    env["XDG_STATE_HOME"] = "relative/ignored";
    EXPECT_EQ(setup().stateDir, "/home/u//.local/state/morrowick");
    env["XDG_STATE_HOME"] = "/xdg/state";
    EXPECT_EQ(setup().stateDir, "/xdg/state/morrowick");

    RunOptions system;
    system.bus = EBusType::eBT_System;
    EXPECT_EQ(setup(system).stateDir, "/var/lib/morrowick");
    EXPECT_EQ(setup(system).defaultScanFolder, "/");
    env["STATE_DIRECTORY"] = "/var/lib/morrowick-a:/var/lib/other";
    EXPECT_EQ(setup(system).stateDir, "/var/lib/morrowick-a");

    RunOptions given;
    given.stateDir = "state/";
    EXPECT_EQ(setup(given).stateDir, "/work/state");
    given.stateDir = "/abs/dir";
    EXPECT_EQ(setup(given).stateDir, "/abs/dir");
}

TEST_F(RunSetupTest, AuthorisationIsOnForTheSystemBusUnlessSwitchedOff) {
    EXPECT_FALSE(setup().authEnabled);
    RunOptions options;
    options.bus = EBusType::eBT_System;
    EXPECT_TRUE(setup(options).authEnabled);
    EXPECT_EQ(setup(options).authGroup, "morrowick");
    options.noAuth = true;
    EXPECT_FALSE(setup(options).authEnabled);

    RunOptions group;
    group.authGroup = "cad";
    EXPECT_TRUE(setup(group).authEnabled);
    EXPECT_EQ(setup(group).authGroup, "cad");
}

} // namespace
} // namespace MW::Host
