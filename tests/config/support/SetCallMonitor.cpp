#include "SetCallMonitor.h"

#include "TempDir.h"
#include "Wait.h"

namespace MW::Test {

SetCallMonitor::SetCallMonitor(const std::string& address, const std::string& file)
    : m_strFile(file) {
    m_pChild = std::make_unique<Child>(std::vector<std::string>{
        "sh", "-c",
        "exec dbus-monitor --address \"$0\" "
        "\"type='method_call',interface='org.freedesktop.DBus.Properties',member='Set'\" "
        "> \"$1\" 2>&1",
        address, file});
    // A new monitor is told that it lost its unique name: from then on it listens.
    m_bReady = waitUntil([&] { return readFile(m_strFile).find("NameLost") != std::string::npos; });
}

SetCallMonitor::~SetCallMonitor() = default;

int SetCallMonitor::sets() const {
    const std::string seen = readFile(m_strFile);
    int count = 0;
    for (auto at = seen.find("member=Set"); at != std::string::npos;
         at = seen.find("member=Set", at + 1))
        ++count;
    return count;
}

std::string SetCallMonitor::text() const {
    return readFile(m_strFile);
}

} // namespace MW::Test
