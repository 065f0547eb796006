#pragma once

#include "Wait.h"
// Test harness for the bus server: the real server on its own loop thread over a
// private dbus-daemon, a recording client on a second sdbus-c++ connection, and
// shorthand for the real command-line clients.

#include "CBusServer.h"
#include "CMorrowick.h"
#include "Preview.h"
#include "Process.h"
#include "TestBus.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <sdbus-c++/sdbus-c++.h>
#include <string>
#include <thread>
#include <vector>

namespace MW::Test {

// Runs CBusServer the way the service does: one thread owns the connection and
// polls the server's descriptors. Construction returns once the name is owned.
class CServerLoop {
public:
    CServerLoop(const std::string& address, Objects::CMorrowick& engine, DBus::AuthOptions auth,
                IPreviewer* previewer = nullptr);
    ~CServerLoop();
    CServerLoop(const CServerLoop&) = delete;
    CServerLoop& operator=(const CServerLoop&) = delete;

private:
    std::thread m_thread;
    int m_fdStop = -1;
};

// Records the engine's signals as text ("scanStarted", "updateCleanedSpace:42"),
// and if asked the Config object's PropertiesChanged as "changed:" and the properties in
// the signal's order ("changed:ScanFolder=/srv LastScan=03/04/25", StartTime as
// "<45294.437500>"). A signal whose arguments are not exactly as the contract says
// is recorded as "bad:<member>".
class CSignalRecorder {
public:
    // With `properties`, the Config object's PropertiesChanged too.
    explicit CSignalRecorder(const std::string& address, bool properties = false);
    ~CSignalRecorder();
    std::vector<std::string> signals() const;
    sdbus::IConnection& connection() { return *m_pConnection; }

private:
    void add(std::string text);

    mutable std::mutex m_mutex;
    std::vector<std::string> m_signals;
    std::unique_ptr<sdbus::IConnection> m_pConnection;
    std::unique_ptr<sdbus::IProxy> m_pProxy;
    std::unique_ptr<sdbus::IProxy> m_pConfigProxy;
};

// A property value as CSignalRecorder writes it.
std::string variantText(const sdbus::Variant& value);

// busctl against the test bus: busctl({"get-property", ...}).
CommandResult busctl(const TestBus& bus, const std::vector<std::string>& args,
                     const std::vector<std::string>& prefix = {});

inline constexpr const char* kService = "org.morrowick.Service";
inline constexpr const char* kEngine = "/org/morrowick/Morrowick";
inline constexpr const char* kConfig = "/org/morrowick/Config";
inline constexpr const char* kIEngine = "org.morrowick.IMorrowick";
inline constexpr const char* kIConfig = "org.morrowick.IConfig";

} // namespace MW::Test
