#include "RunSetup.h"

#include "Access.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace MW::Host {
namespace {

constexpr const char* kDefaultAuthGroup = Bus::kDefaultChangeGroup;

// XDG base directories count only when absolute.
std::optional<std::string> absoluteVar(const EnvLookup& env, const std::string& name) {
    auto value = env(name);
    if (value && !value->empty() && (*value)[0] == '/')
        return value;
    return std::nullopt;
}

std::string homeOf(const EnvLookup& env, const std::string& home) {
    auto value = absoluteVar(env, "HOME");
    return value ? *value : home;
}

std::string stripTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

EnvLookup processEnv() {
    return [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
}

RunSetup makeRunSetup(const RunOptions& options, const EnvLookup& env, const std::string& home,
                      const std::string& cwd) {
    RunSetup setup;
    const auto notifySocket = env("NOTIFY_SOCKET");
    setup.serviceMode = notifySocket && !notifySocket->empty();

    std::optional<EBusType> starterType;
    if (const auto type = env("DBUS_STARTER_BUS_TYPE")) {
        if (*type == "session")
            starterType = EBusType::eBT_Session;
        else if (*type == "system")
            starterType = EBusType::eBT_System;
    }
    if (options.bus)
        setup.bus = *options.bus;
    else if (starterType)
        setup.bus = *starterType;
    else
        setup.bus = setup.serviceMode ? EBusType::eBT_System : EBusType::eBT_Session;
    if (starterType && *starterType == setup.bus)
        setup.busAddress = env("DBUS_STARTER_ADDRESS").value_or("");

    if (!options.stateDir.empty()) {
        setup.stateDir =
            options.stateDir[0] == '/' ? options.stateDir : cwd + "/" + options.stateDir;
    } else if (setup.bus == EBusType::eBT_System) {
        const auto dirs = env("STATE_DIRECTORY");
        const std::string first = dirs ? dirs->substr(0, dirs->find(':')) : std::string();
        setup.stateDir = !first.empty() && first[0] == '/' ? first : "/var/lib/morrowick";
    } else {
        const auto stateHome = absoluteVar(env, "XDG_STATE_HOME");
        setup.stateDir =
            (stateHome ? *stateHome : homeOf(env, home) + "/.local/state") + "/morrowick";
    }
    setup.stateDir = stripTrailingSlashes(setup.stateDir);
    if (setup.bus == EBusType::eBT_Session)
        setup.defaultScanFolder = stripTrailingSlashes(homeOf(env, home));

    setup.authEnabled = !options.noAuth && (setup.bus == EBusType::eBT_System || options.authGroup);
    setup.authGroup = options.authGroup.value_or(kDefaultAuthGroup);

    if (const auto pause = env("MW_SCAN_PAUSE_MS");
        pause && !pause->empty() && pause->size() <= 4 &&
        pause->find_first_not_of("0123456789") == std::string::npos) {
        const int ms = std::stoi(*pause);
        if (ms <= 5000)
            setup.scanPauseMs = ms;
    }
    return setup;
}

std::string sessionServiceDir(const EnvLookup& env, const std::string& home) {
    // The bus looks in the account's home, whatever HOME says; so must we.
    const auto dataHome = absoluteVar(env, "XDG_DATA_HOME");
    return (dataHome ? *dataHome : home + "/.local/share") + "/dbus-1/services";
}

std::string passwdHome() {
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

} // namespace MW::Host
