#pragma once

#include "Wait.h"
// Helpers for the end-to-end tests of mwservice: a temporary home with its XDG
// folders, busctl as the client, and waiting for conditions.

#include "Process.h"
#include "TempDir.h"

#include <functional>
#include <string>
#include <vector>

namespace MW::Test {

inline const std::string kMwService = MW_SERVICE_BINARY;
inline const std::string kStartBanner = "---------- Service started! v. " MW_VERSION " ----------";
inline constexpr const char* kName = "org.morrowick.Service";
inline constexpr const char* kEngine = "/org/morrowick/Morrowick";
inline constexpr const char* kConfig = "/org/morrowick/Config";
inline constexpr const char* kEngineIface = "org.morrowick.IMorrowick";
inline constexpr const char* kConfigIface = "org.morrowick.IConfig";

// A temporary HOME with XDG_DATA_HOME and XDG_STATE_HOME inside it.
struct Sandbox {
    Sandbox();
    TempDir dir;
    std::string home, dataHome, stateHome;
    std::string stateDir() const { return stateHome + "/morrowick"; }
    std::string file(const std::string& name) const { return stateDir() + "/" + name; }
    // The environment of the bus and so of the services it starts: the folders
    // above, a short scan pause, and no reachable system bus.
    Env env() const;
};

CommandResult busctl(const std::string& address, const std::vector<std::string>& args,
                     const Env& env = {});
// busctl's answer to a property read, e.g. `s "text"`, without the line end; empty
// when the read failed.
std::string getProperty(const std::string& address, const char* path, const char* iface,
                        const std::string& name, const Env& env = {});
bool setProperty(const std::string& address, const char* path, const char* iface,
                 const std::string& name, const std::vector<std::string>& typeAndValue,
                 const Env& env = {});

// The process that owns org.morrowick.Service, or -1.
int ownerPid(const std::string& address);
// Whether the process has ended (a zombie counts as ended).
bool processGone(int pid);
// Sends SIGTERM to the owner and waits until it has ended and left the bus.
bool stopService(const std::string& address);

std::vector<std::string> splitLines(const std::string& text);
// The index of the first line at or after `from` that begins with `prefix`, or -1.
int findLine(const std::vector<std::string>& lines, const std::string& prefix, int from = 0);

} // namespace MW::Test
