#include "TestBus.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace MW::Test {

TestBus::TestBus() : TestBus(Options{}) {}

TestBus::TestBus(Options options) {
    ::chmod(m_dir.path().c_str(), 0755);
    const std::string socket = m_dir / "bus";
    std::string config = "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                         "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
                         "busconfig.dtd\">\n<busconfig>\n";
    config += "  <type>" + options.type + "</type>\n";
    config += "  <listen>unix:path=" + socket + "</listen>\n";
    config += "  <auth>EXTERNAL</auth>\n";
    if (options.standardSessionServiceDirs)
        config += "  <standard_session_servicedirs/>\n";
    for (const auto& dir : options.serviceDirs)
        config += "  <servicedir>" + dir + "</servicedir>\n";
    if (options.openPolicy)
        config += "  <policy context=\"default\">\n"
                  "    <allow user=\"*\"/>\n"
                  "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                  "    <allow eavesdrop=\"true\"/>\n"
                  "    <allow own=\"*\"/>\n"
                  "  </policy>\n";
    config += options.extraConfig;
    config += "</busconfig>\n";
    const std::string configPath = m_dir / "bus.conf";
    writeFile(configPath, config);

    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    m_pid = ::fork();
    if (m_pid == 0) {
        ::close(pipeFds[0]);
        for (const auto& [name, value] : options.env)
            ::setenv(name.c_str(), value.c_str(), 1);
        const std::string printAddress = "--print-address=" + std::to_string(pipeFds[1]);
        const std::string configArg = "--config-file=" + configPath;
        ::execlp("dbus-daemon", "dbus-daemon", "--nofork", "--nopidfile", configArg.c_str(),
                 printAddress.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    std::string line;
    pollfd pfd{pipeFds[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        if (::poll(&pfd, 1, 100) <= 0)
            continue;
        char buffer[512];
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        line.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    const auto end = line.find('\n');
    if (end == std::string::npos) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        throw std::runtime_error("dbus-daemon did not start (config " + configPath + ")");
    }
    m_address = line.substr(0, end);
    ::chmod(socket.c_str(), 0777);
}

TestBus::~TestBus() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 200 && ::waitpid(m_pid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (::waitpid(m_pid, &status, WNOHANG) == 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
        }
    }
}

Env TestBus::clientEnv() const {
    return {{"DBUS_SESSION_BUS_ADDRESS", m_address},
            {"DBUS_SYSTEM_BUS_ADDRESS", m_address},
            {"DBUS_STARTER_ADDRESS", m_address}};
}

} // namespace MW::Test
