#include "E2eSupport.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace MW::Test {

Sandbox::Sandbox()
    : home(dir / "home"), dataHome(dir / "home/.local/share"),
      stateHome(dir / "home/.local/state") {
    // Readable for other users, so that tests may run the service as one.
    ::chmod(dir.path().c_str(), 0755);
    for (const auto& d : {home, home + "/.local", dataHome, stateHome})
        ::mkdir(d.c_str(), 0755);
}

Env Sandbox::env() const {
    return {{"HOME", home},
            {"XDG_DATA_HOME", dataHome},
            {"XDG_STATE_HOME", stateHome},
            {"MW_SCAN_PAUSE_MS", "100"},
            {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + dir / "no-system-bus"}};
}

CommandResult busctl(const std::string& address, const std::vector<std::string>& args,
                     const Env& env) {
    std::vector<std::string> argv{"busctl", "--address=" + address};
    argv.insert(argv.end(), args.begin(), args.end());
    return runCommand(argv, env, 90);
}

std::string getProperty(const std::string& address, const char* path, const char* iface,
                        const std::string& name, const Env& env) {
    auto r = busctl(address, {"get-property", kName, path, iface, name}, env);
    if (r.status != 0)
        return {};
    while (!r.out.empty() && r.out.back() == '\n')
        r.out.pop_back();
    return r.out;
}

bool setProperty(const std::string& address, const char* path, const char* iface,
                 const std::string& name, const std::vector<std::string>& typeAndValue,
                 const Env& env) {
    std::vector<std::string> args{"set-property", kName, path, iface, name};
    args.insert(args.end(), typeAndValue.begin(), typeAndValue.end());
    return busctl(address, args, env).status == 0;
}

int ownerPid(const std::string& address) {
    const auto r =
        busctl(address, {"call", "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "GetConnectionUnixProcessID", "s", kName});
    int pid = -1;
    std::istringstream in(r.out);
    std::string type;
    if (r.status == 0 && in >> type >> pid && type == "u")
        return pid;
    return -1;
}

bool processGone(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string content;
    if (!std::getline(stat, content))
        return true;
    const auto close = content.rfind(')');
    return close != std::string::npos && content.size() > close + 2 && content[close + 2] == 'Z';
}

bool stopService(const std::string& address) {
    const int pid = ownerPid(address);
    if (pid <= 0 || ::kill(pid, SIGTERM) != 0)
        return false;
    return waitUntil([&] { return processGone(pid) && ownerPid(address) == -1; });
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

int findLine(const std::vector<std::string>& lines, const std::string& prefix, int from) {
    for (int i = std::max(from, 0); i < static_cast<int>(lines.size()); ++i)
        if (lines[static_cast<std::size_t>(i)].rfind(prefix, 0) == 0)
            return i;
    return -1;
}

} // namespace MW::Test
