#include "Systemd.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

namespace MW::Host {
namespace {

// Calls a method of the bus daemon itself; empty on success, else why not.
std::string callBusDaemon(EBusType type, const char* method) {
    sd_bus* bus = nullptr;
    int r = type == EBusType::eBT_System ? sd_bus_open_system(&bus) : sd_bus_open_user(&bus);
    if (r < 0)
        return std::strerror(-r);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    r = sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", method, &error, &reply, "");
    std::string result;
    if (r < 0)
        result = error.message ? error.message : std::strerror(-r);
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    return result;
}

} // namespace

bool systemdRunning() {
    return sd_booted() > 0;
}

std::string findInPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = dirs.substr(start, end - start);
        if (!dir.empty()) {
            const std::string candidate = dir + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

int runProgram(const std::vector<std::string>& argv) {
    if (argv.empty())
        return -1;
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void notifyServiceManager(std::string_view state) {
    const std::string text(state);
    sd_notify(0, text.c_str());
}

std::string probeBus(EBusType bus) {
    return callBusDaemon(bus, "GetId");
}

bool reloadBusConfig(EBusType bus) {
    return callBusDaemon(bus, "ReloadConfig").empty();
}

} // namespace MW::Host
