#pragma once
// The files that register mwservice: their contents, made from the templates in
// data/, and where they go. Pure functions of their inputs.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace MW::Host {

inline constexpr const char* kUnitName = "mwservice.service";
inline constexpr const char* kActivationFileName = "org.morrowick.Service.service";
inline constexpr const char* kPolicyFileName = "org.morrowick.Service.conf";

// A program path as the first word of an Exec= line of a bus activation file, or
// of a systemd ExecStart= line: always quoted, with the characters each reader
// treats specially escaped. nullopt for a path the line cannot carry (a relative
// path, one with a control character; for systemd also quotes and backslashes).
std::optional<std::string> busExecWord(std::string_view programPath);
std::optional<std::string> systemdExecWord(std::string_view programPath);

// The systemd unit, for a program path already made an ExecStart word.
std::string unitFile(std::string_view execWord);
// The system bus activation file; `systemdService` adds SystemdService=, which
// hands the start to systemd.
std::string systemActivationFile(std::string_view execWord, bool systemdService);
std::string sessionActivationFile(std::string_view execWord);
std::string policyFile();

// Where the system registration lives, below `root` ("" for the real system).
struct SystemPaths {
    std::string unit;       // <root>/etc/systemd/system/mwservice.service
    std::string activation; // <root>/usr/local/share/dbus-1/system-services/...
    std::string policy;     // <root>/etc/dbus-1/system.d/org.morrowick.Service.conf
};
SystemPaths systemPaths(const std::string& root);

// Every mwservice.service below `root` in the folders systemd loads system units
// from (administrator's, run-time, local and distribution folders), each file
// once, in systemd's order of precedence.
std::vector<std::string> installedUnits(const std::string& root);

} // namespace MW::Host
