#include "ServiceEnvironment.h"

#include <csignal>
#include <cstdlib>
#include <sys/stat.h>

namespace MW::Test {
namespace {

std::string makeServiceDir(const Sandbox& sandbox) {
    const std::string dir = sandbox.dir / "activation";
    ::mkdir(dir.c_str(), 0755);
    return dir;
}

} // namespace

ServiceEnvironment::ServiceEnvironment() : ServiceEnvironment(Options{}) {}

ServiceEnvironment::ServiceEnvironment(Options options)
    : m_serviceDir(makeServiceDir(m_sandbox)),
      m_bus(busOptions(m_sandbox, m_serviceDir, options)) {
    ::mkdir(runtimeDir().c_str(), 0700);
    ::mkdir(configHome().c_str(), 0755);
}

TestBus::Options ServiceEnvironment::busOptions(const Sandbox& sandbox,
                                                const std::string& serviceDir,
                                                const Options& options) {
    const std::string exec =
        options.startDelaySeconds > 0
            ? "/bin/sh -c \"sleep " + std::to_string(options.startDelaySeconds) + "; exec '" +
                  kMwService + "'\""
            : kMwService;
    if (options.activatable)
        writeFile(serviceDir + "/org.morrowick.Service.service",
                  "[D-BUS Service]\nName=org.morrowick.Service\nExec=" + exec + "\n");
    TestBus::Options bus;
    bus.serviceDirs = {serviceDir};
    for (const auto& [name, value] : sandbox.env())
        if (name != "MW_SCAN_PAUSE_MS" || options.scanPauseMs < 0)
            bus.env.emplace_back(name, value);
    if (options.scanPauseMs >= 0)
        bus.env.emplace_back("MW_SCAN_PAUSE_MS", std::to_string(options.scanPauseMs));
    return bus;
}

ServiceEnvironment::~ServiceEnvironment() {
    for (const auto& [name, value] : m_savedEnv) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    // Leave no service behind on the bus that is about to go.
    if (const int pid = servicePid(); pid > 0) {
        ::kill(pid, SIGTERM);
        waitUntil([&] { return processGone(pid); }, 20);
    }
}

Env ServiceEnvironment::env() const {
    Env env = m_sandbox.env();
    env.emplace_back("DBUS_SESSION_BUS_ADDRESS", address());
    env.emplace_back("XDG_RUNTIME_DIR", runtimeDir());
    env.emplace_back("XDG_CONFIG_HOME", configHome());
    env.emplace_back("QT_QPA_PLATFORM", "offscreen");
    return env;
}

void ServiceEnvironment::applyToProcess() {
    for (const auto& [name, value] : env()) {
        if (!m_savedEnv.count(name)) {
            const char* old = std::getenv(name.c_str());
            m_savedEnv[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        ::setenv(name.c_str(), value.c_str(), 1);
    }
}

bool ServiceEnvironment::activate() {
    const auto r =
        busctl(address(), {"call", "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "StartServiceByName", "su", kName, "0"});
    return r.status == 0 && waitUntil([&] { return servicePid() > 0; }, 30);
}

bool ServiceEnvironment::stopService() {
    return MW::Test::stopService(address());
}

bool ServiceEnvironment::killService() {
    const int pid = servicePid();
    if (pid <= 0 || ::kill(pid, SIGKILL) != 0)
        return false;
    return waitUntil([&] { return processGone(pid) && servicePid() == -1; }, 30);
}

std::string ServiceEnvironment::getConfig(const std::string& name) const {
    return getProperty(address(), kConfig, kConfigIface, name);
}

bool ServiceEnvironment::setConfig(const std::string& name, const std::string& type,
                                   const std::string& value) {
    return setProperty(address(), kConfig, kConfigIface, name, {type, value});
}

std::string ServiceEnvironment::getEngine(const std::string& name) const {
    return getProperty(address(), kEngine, kEngineIface, name);
}

bool ServiceEnvironment::callEngine(const std::vector<std::string>& methodAndArgs) {
    std::vector<std::string> args{"call", kName, kEngine, kEngineIface};
    args.insert(args.end(), methodAndArgs.begin(), methodAndArgs.end());
    return busctl(address(), args).status == 0;
}

} // namespace MW::Test
