#pragma once
// The real mwservice for configurator tests: a private session bus that starts
// the service on demand, in a temporary HOME with its XDG folders, and no
// reachable system bus.

#include "E2eSupport.h"
#include "TestBus.h"

#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>

namespace MW::Test {

class ServiceEnvironment {
public:
    struct Options {
        // false: the bus knows no activation file, so the service cannot be
        // started (unless a test starts it by hand with runService()).
        bool activatable = true;
        // Seconds activation waits before the service starts, as a cold start
        // from a slow disk at log-in may.
        int startDelaySeconds = 0;
        // The service's pause between scanStarted and the walk (-1: the
        // sandbox's short one); a long one keeps a scan busy for a while.
        int scanPauseMs = -1;
    };

    ServiceEnvironment();
    explicit ServiceEnvironment(Options options);
    ~ServiceEnvironment();
    ServiceEnvironment(const ServiceEnvironment&) = delete;
    ServiceEnvironment& operator=(const ServiceEnvironment&) = delete;

    const std::string& address() const { return m_bus.address(); }
    const Sandbox& sandbox() const { return m_sandbox; }
    // The service's state folder and a file in it (settings.mwk, undeleted.tmp ...).
    std::string stateFile(const std::string& name) const { return m_sandbox.file(name); }
    std::string runtimeDir() const { return m_sandbox.dir / "runtime"; }
    std::string configHome() const { return m_sandbox.home + "/.config"; }

    // Environment for child processes (mwconfig, busctl): the sandbox folders,
    // this bus as session bus, no system bus, the offscreen platform.
    Env env() const;
    // Points this process at the sandbox (HOME, XDG_*, bus addresses) until the
    // destructor restores the old values; the configurator code under test reads them.
    void applyToProcess();

    // Starts the service through the bus (as a client's first call would).
    bool activate();
    // The pid of the process owning org.morrowick.Service, or -1.
    int servicePid() const { return ownerPid(address()); }
    // SIGTERM (the service saves) or SIGKILL; both wait until it has left the bus.
    bool stopService();
    bool killService();

    // busctl reads and writes on the Config and engine objects, in busctl's
    // notation: getConfig("ScanFolder") == "s \"/data\"".
    std::string getConfig(const std::string& name) const;
    bool setConfig(const std::string& name, const std::string& type, const std::string& value);
    std::string getEngine(const std::string& name) const;
    bool callEngine(const std::vector<std::string>& methodAndArgs);

private:
    static TestBus::Options busOptions(const Sandbox& sandbox, const std::string& serviceDir,
                                       const Options& options);

    Sandbox m_sandbox;
    std::string m_serviceDir;
    TestBus m_bus;
    std::map<std::string, std::optional<std::string>> m_savedEnv;
};

// A test with the service environment applied to the test process.
class ServiceTest : public ::testing::Test {
protected:
    ServiceTest() { service.applyToProcess(); }
    ServiceEnvironment service;
};

} // namespace MW::Test
