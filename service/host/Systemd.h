#pragma once
// The service manager and the buses as the registration verbs and the run see
// them: plain calls, failures as text or status.

#include "CommandLine.h"

#include <string>
#include <string_view>
#include <vector>

namespace MW::Host {

// Whether systemd manages this machine (it runs as PID 1).
bool systemdRunning();

// The full path of `name` found in PATH, or empty.
std::string findInPath(const std::string& name);

// Runs a program with the caller's standard streams and waits for it; returns its
// exit status, or -1 when it could not run or was killed.
int runProgram(const std::vector<std::string>& argv);

// Tells systemd about the service's state (READY=1, STOPPING=1, STATUS=...);
// nothing happens when systemd did not start the program.
void notifyServiceManager(std::string_view state);

// Empty when the bus answers, else why it does not.
std::string probeBus(EBusType bus);

// Asks the bus to read its configuration and service files again, so that a
// registration takes effect at once. Returns false when it could not.
bool reloadBusConfig(EBusType bus);

} // namespace MW::Host
