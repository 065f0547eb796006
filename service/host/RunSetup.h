#pragma once
// How a run is set up from its options and its environment: the mode, the bus
// and the state directory. Pure functions of their inputs.

#include "CommandLine.h"

#include <functional>
#include <optional>
#include <string>

namespace MW::Host {

// Reads one environment variable; nullopt when it is not set.
using EnvLookup = std::function<std::optional<std::string>(const std::string&)>;
EnvLookup processEnv();

struct RunSetup {
    bool serviceMode = false; // started by systemd
    EBusType bus = EBusType::eBT_Session;
    std::string busAddress; // the address of the bus that started us, or empty
    std::string stateDir;   // absolute
    // ScanFolder until a settings file says otherwise: the root for the system
    // service, the user's home folder per user (elsewhere a user's service could
    // only list other people's files as undeletable).
    std::string defaultScanFolder = "/";
    bool authEnabled = false;
    std::string authGroup;
    // MW_SCAN_PAUSE_MS: a shorter pause before each scan, for tests (0 to 5000).
    std::optional<int> scanPauseMs;
};

// systemd announces itself with NOTIFY_SOCKET; a bus that activates the program
// with DBUS_STARTER_BUS_TYPE and DBUS_STARTER_ADDRESS. The state directory is
// --state-dir, else $STATE_DIRECTORY (the first one) or /var/lib/morrowick on the
// system bus, else $XDG_STATE_HOME/morrowick or ~/.local/state/morrowick.
// `home` stands in when HOME is not set. Relative paths are taken from `cwd`.
RunSetup makeRunSetup(const RunOptions& options, const EnvLookup& env, const std::string& home,
                      const std::string& cwd);

// Where the session bus looks for the user's activation files: $XDG_DATA_HOME,
// else `home` (the account's home directory) + /.local/share; then /dbus-1/services.
std::string sessionServiceDir(const EnvLookup& env, const std::string& home);

// The home directory from the password database (for when HOME is not set).
std::string passwdHome();

} // namespace MW::Host
