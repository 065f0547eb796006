#pragma once

#include "Process.h"
#include "TempDir.h"

#include <memory>
#include <string>
#include <vector>

namespace MW::Test {

// A private dbus-daemon for one test, listening on a socket in its own temporary
// directory (open to every uid, so a test can call it as another user).
class TestBus {
public:
    struct Options {
        // "session" or "system": the bus type the daemon says it is.
        std::string type = "session";
        // Folders searched for activation files.
        std::vector<std::string> serviceDirs;
        // Also search the standard session folders ($XDG_DATA_HOME/dbus-1/services, ...).
        bool standardSessionServiceDirs = false;
        // Extra <busconfig> content, for example <include> of a policy file. Without
        // it every connection may own any name and call anything.
        std::string extraConfig;
        bool openPolicy = true;
        // Environment of the daemon, and so of the services it activates.
        Env env;
    };

    TestBus();
    explicit TestBus(Options options);
    ~TestBus();
    TestBus(const TestBus&) = delete;
    TestBus& operator=(const TestBus&) = delete;

    const std::string& address() const { return m_address; }
    int pid() const { return m_pid; }
    const std::string& dir() const { return m_dir.path(); }
    // Environment that points clients (busctl, gdbus, sdbus-c++) at this bus.
    Env clientEnv() const;

private:
    TempDir m_dir;
    std::string m_address;
    int m_pid = -1;
};

} // namespace MW::Test
