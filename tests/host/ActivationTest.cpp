// The service registered per user and started by a session bus on demand.

#include "E2eSupport.h"
#include "TestBus.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace MW::Test {
namespace {

class PerUserService : public ::testing::Test {
protected:
    PerUserService() : bus(busOptions(sandbox)) {}
    static TestBus::Options busOptions(const Sandbox& sandbox) {
        TestBus::Options options;
        options.standardSessionServiceDirs = true;
        options.env = sandbox.env();
        return options;
    }
    Env verbEnv() const {
        Env env = sandbox.env();
        env.emplace_back("DBUS_SESSION_BUS_ADDRESS", bus.address());
        return env;
    }
    std::string engine(const std::string& name) {
        return getProperty(bus.address(), kEngine, kEngineIface, name);
    }
    std::string config(const std::string& name) {
        return getProperty(bus.address(), kConfig, kConfigIface, name);
    }
    bool setConfig(const std::string& name, const std::string& type, const std::string& value) {
        return setProperty(bus.address(), kConfig, kConfigIface, name, {type, value});
    }

    Sandbox sandbox;
    TestBus bus;
};

TEST_F(PerUserService, RegistrationLetsTheBusStartItAndUnregistrationUndoesThat) {
    // Run from a folder whose name the activation file must quote.
    const std::string program = sandbox.dir / "bin \"q\" back\\slash $HOME 50%/mwservice";
    std::filesystem::create_directories(std::filesystem::path(program).parent_path());
    std::filesystem::copy_file(kMwService, program);
    const std::string file = sandbox.dataHome + "/dbus-1/services/org.morrowick.Service.service";
    const auto reg = runCommand({program, "-RegServerPerUser"}, verbEnv());
    ASSERT_EQ(reg.status, 0) << reg.err;
    EXPECT_TRUE(exists(file));

    // The first call starts the service; it names its list in its state directory.
    EXPECT_EQ(engine("UndeletedLog"), "s \"" + sandbox.file("undeleted.tmp") + "\"");
    EXPECT_EQ(
        std::filesystem::read_symlink("/proc/" + std::to_string(ownerPid(bus.address())) + "/exe"),
        program);
    EXPECT_EQ(engine("UndeletedCount"), "i 0");
    EXPECT_EQ(engine("ActivityState"), "i 0");
    EXPECT_EQ(engine("Config"), "o \"/org/morrowick/Config\"");

    const auto unreg = runCommand({program, "/unregserverperuser"}, verbEnv());
    EXPECT_EQ(unreg.status, 0) << unreg.err;
    EXPECT_FALSE(exists(file));
    EXPECT_EQ(runCommand({kMwService, "-UnregServerPerUser"}, verbEnv()).status, 0);
    ASSERT_TRUE(stopService(bus.address()));
    EXPECT_EQ(engine("UndeletedLog"), "") << "the bus still starts the unregistered service";
}

TEST_F(PerUserService, RegistrationFilesAreReadableForTheBusAndRewrittenInPlace) {
    const std::string file = sandbox.dataHome + "/dbus-1/services/org.morrowick.Service.service";
    // A new file is readable by the bus whatever the caller's umask.
    const auto reg = runCommand(
        {"sh", "-c", "umask 077 && exec \"$0\" -RegServerPerUser", kMwService}, verbEnv());
    ASSERT_EQ(reg.status, 0) << reg.err;
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    // An existing one keeps the mode and owner its administrator gave it.
    writeFile(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(file.c_str(), 0, 65534), 0);
    }
    ASSERT_EQ(runCommand({kMwService, "-RegServerPerUser"}, verbEnv()).status, 0);
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (::geteuid() == 0) {
        EXPECT_EQ(st.st_gid, 65534u);
    }
    EXPECT_NE(readFile(file).find("Name=org.morrowick.Service"), std::string::npos);
    for (const auto& entry :
         std::filesystem::directory_iterator(sandbox.dataHome + "/dbus-1/services"))
        EXPECT_EQ(entry.path().filename(), "org.morrowick.Service.service");
}

TEST_F(PerUserService, StopSavesWhatClientsWroteAndTheNextStartLoadsIt) {
    ASSERT_EQ(runCommand({kMwService, "-RegServerPerUser"}, verbEnv()).status, 0);
    ASSERT_TRUE(setConfig("ScanFolder", "s", "/data/Zeichnungen äöü"));
    ASSERT_TRUE(setConfig("ContactName", "s", "Zoë"));
    ASSERT_TRUE(setConfig("CleanedSpace", "t", "5000000000"));
    ASSERT_TRUE(setConfig("DeleteAge", "i", "3"));
    const int first = ownerPid(bus.address());
    ASSERT_TRUE(stopService(bus.address()));

    const auto log = splitLines(readFile(sandbox.file("mwservice.log")));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), kStartBanner);
    EXPECT_EQ(log.back(), "---------- Service stopped! ----------");

    // busctl prints bytes above 0x7F as octal escapes.
    EXPECT_EQ(config("ContactName"), "s \"Zo\\303\\253\"");
    EXPECT_NE(ownerPid(bus.address()), first);
    EXPECT_EQ(config("ScanFolder"), "s \"/data/Zeichnungen \\303\\244\\303\\266\\303\\274\"");
    EXPECT_EQ(config("CleanedSpace"), "t 5000000000");
    EXPECT_EQ(config("DeleteAge"), "i 3");
    ASSERT_TRUE(stopService(bus.address()));
    // Both runs appended to the one log.
    const auto both = splitLines(readFile(sandbox.file("mwservice.log")));
    const int second = findLine(both, "---------- Service started!", 1);
    EXPECT_GT(second, 0);
    EXPECT_GT(findLine(both, "---------- Service stopped!", second), second);
}

TEST_F(PerUserService, MissingOrCorruptSettingsFileIsRewrittenAndTheServiceRuns) {
    ASSERT_EQ(runCommand({kMwService, "-RegServerPerUser"}, verbEnv()).status, 0);
    for (const std::string& content :
         {std::string(), std::string("22 serialization::archive 9 garbage\xff\n")}) {
        SCOPED_TRACE(content.empty() ? "missing" : "corrupt");
        if (content.empty()) {
            EXPECT_FALSE(exists(sandbox.stateDir()));
        } else {
            writeFile(sandbox.file("settings.mwk"), content);
            ::unlink(sandbox.file("mwservice.log").c_str());
        }
        // Per user the default folder is the user's home, not the whole machine.
        EXPECT_EQ(config("ScanFolder"), "s \"" + sandbox.home + "\"");
        const std::string settings = readFile(sandbox.file("settings.mwk"));
        EXPECT_EQ(settings.rfind("22 serialization::archive ", 0), 0u);
        EXPECT_NE(settings, content);
        ASSERT_TRUE(stopService(bus.address()));
        // The file was written before the log opened, so the log begins with the banner.
        const auto log = splitLines(readFile(sandbox.file("mwservice.log")));
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.front(), kStartBanner);
    }
}

} // namespace
} // namespace MW::Test
