#pragma once
// The program's command line: a registration verb, or the options of a run.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace MW::Host {

enum class EVerb {
    eV_None,
    eV_UnregServer,
    eV_RegServer,
    eV_UnregServerPerUser,
    eV_RegServerPerUser,
    eV_Service
};

enum class EBusType { eBT_Session, eBT_System };

// Searches a command line for a verb introduced by '-' or '/', compared without
// regard to case and ending at a blank, a tab or the end of the line. The four
// Reg/Unreg verbs are looked for first, in the order they occur; only when none
// occurs is the line searched again for Service.
EVerb findVerb(std::string_view commandLine);

const char* verbName(EVerb verb);

struct RunOptions {
    std::optional<EBusType> bus;          // --bus=session|system
    std::string stateDir;                 // --state-dir=DIR
    bool noAuth = false;                  // --no-auth
    std::optional<std::string> authGroup; // --auth-group=NAME
    std::string root;                     // --root=DIR: where the system verbs write
    bool help = false;                    // --help
    bool version = false;                 // --version
};

struct CommandLine {
    EVerb verb = EVerb::eV_None;
    RunOptions options;
    std::string error; // not empty: the line is unusable, and why
};

// Parses the arguments after the program name. The program's own "--name=value"
// options are taken out before the verb search, so that a value such as a
// folder named Service cannot turn into a verb.
CommandLine parseCommandLine(const std::vector<std::string>& args);

std::string usage();

} // namespace MW::Host
