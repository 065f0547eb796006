#pragma once
// mwservice.exe's command line: a registration verb (found as on every platform,
// CommandLine.h's findVerb) and the options of the verbs.

#include "CommandLine.h"

#include <optional>
#include <string>
#include <string_view>

namespace MW::Host {

struct WinCommandLine {
    EVerb verb = EVerb::eV_None;
    // /quiet (or -quiet, any case): the verbs write their messages to standard
    // error instead of showing message boxes, for unattended installations.
    bool quiet = false;
    // --auth-group=NAME: the local group whose members may change the service,
    // kept with the registration (default "Morrowick").
    std::optional<std::wstring> authGroup;
    bool help = false;
    std::string error; // not empty: the line is unusable, and why
};

// The part of a full command line (GetCommandLineW) after the program's name,
// which may be quoted.
std::wstring_view argumentsOf(std::wstring_view commandLine);

// Parses the arguments. The program's own options are taken out before the verb
// search, so that a group named "Service" cannot turn into a verb.
WinCommandLine parseWinCommandLine(std::wstring_view arguments);

std::string winUsage();

} // namespace MW::Host
