#pragma once
// dbus-monitor on a private bus, recording every org.freedesktop.DBus.Properties
// Set call any client makes (the test must run as the bus daemon's user).

#include "Process.h"

#include <memory>
#include <string>

namespace MW::Test {

class SetCallMonitor {
public:
    // Starts the monitor and waits until it listens; `file` receives its output.
    SetCallMonitor(const std::string& address, const std::string& file);
    ~SetCallMonitor();

    bool ready() const { return m_bReady; }
    // The Set calls seen so far.
    int sets() const;
    std::string text() const;

private:
    std::string m_strFile;
    std::unique_ptr<Child> m_pChild;
    bool m_bReady = false;
};

} // namespace MW::Test
