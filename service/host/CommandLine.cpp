#include "CommandLine.h"

#include <array>
#include <utility>

namespace MW::Host {
namespace {

bool isWordEnd(std::string_view line, std::size_t pos) {
    return pos == line.size() || line[pos] == ' ' || line[pos] == '\t';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `word` stands at `pos`, in any case, and ends there.
bool wordAt(std::string_view line, std::size_t pos, std::string_view word) {
    if (line.size() - pos < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lower(line[pos + i]) != lower(word[i]))
            return false;
    return isWordEnd(line, pos + word.size());
}

template <std::size_t N>
EVerb search(std::string_view line,
             const std::array<std::pair<std::string_view, EVerb>, N>& verbs) {
    for (std::size_t pos = line.find_first_of("-/"); pos != std::string_view::npos;
         pos = line.find_first_of("-/", pos + 1)) {
        for (const auto& [word, verb] : verbs)
            if (wordAt(line, pos + 1, word))
                return verb;
    }
    return EVerb::eV_None;
}

bool takeValue(std::string_view arg, std::string_view name, std::string& value) {
    if (arg.substr(0, name.size()) != name)
        return false;
    value = std::string(arg.substr(name.size()));
    return true;
}

} // namespace

EVerb findVerb(std::string_view commandLine) {
    static constexpr std::array<std::pair<std::string_view, EVerb>, 4> kRegVerbs{{
        {"UnregServer", EVerb::eV_UnregServer},
        {"RegServer", EVerb::eV_RegServer},
        {"UnregServerPerUser", EVerb::eV_UnregServerPerUser},
        {"RegServerPerUser", EVerb::eV_RegServerPerUser},
    }};
    static constexpr std::array<std::pair<std::string_view, EVerb>, 1> kServiceVerb{{
        {"Service", EVerb::eV_Service},
    }};
    const EVerb verb = search(commandLine, kRegVerbs);
    return verb != EVerb::eV_None ? verb : search(commandLine, kServiceVerb);
}

const char* verbName(EVerb verb) {
    switch (verb) {
    case EVerb::eV_UnregServer:
        return "UnregServer";
    case EVerb::eV_RegServer:
        return "RegServer";
    case EVerb::eV_UnregServerPerUser:
        return "UnregServerPerUser";
    case EVerb::eV_RegServerPerUser:
        return "RegServerPerUser";
    case EVerb::eV_Service:
        return "Service";
    case EVerb::eV_None:
        break;
    }
    return "";
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    std::string verbLine;
    auto fail = [&result](std::string message) {
        if (result.error.empty())
            result.error = std::move(message);
    };
    for (const std::string& arg : args) {
        std::string value;
        if (takeValue(arg, "--bus=", value)) {
            if (value == "session")
                result.options.bus = EBusType::eBT_Session;
            else if (value == "system")
                result.options.bus = EBusType::eBT_System;
            else
                fail("--bus must be session or system, not \"" + value + "\"");
        } else if (takeValue(arg, "--state-dir=", value)) {
            if (value.empty())
                fail("--state-dir needs a directory");
            result.options.stateDir = value;
        } else if (takeValue(arg, "--auth-group=", value)) {
            if (value.empty())
                fail("--auth-group needs a group name");
            result.options.authGroup = value;
        } else if (takeValue(arg, "--root=", value)) {
            if (value.empty() || value[0] != '/')
                fail("--root needs an absolute directory");
            result.options.root = value;
        } else if (arg == "--no-auth") {
            result.options.noAuth = true;
        } else if (arg == "--help" || arg == "-h") {
            result.options.help = true;
        } else if (arg == "--version") {
            result.options.version = true;
        } else if (arg.starts_with("--") && findVerb(arg) == EVerb::eV_None) {
            // A mistyped option must not be mistaken for a run with defaults.
            fail("unknown option " + arg);
        } else {
            if (!verbLine.empty())
                verbLine += ' ';
            verbLine += arg;
        }
    }
    if (result.options.noAuth && result.options.authGroup)
        fail("--no-auth and --auth-group exclude each other");
    result.verb = findVerb(verbLine);
    return result;
}

std::string usage() {
    return "Usage: mwservice [-RegServerPerUser | -UnregServerPerUser | -RegServer | -Service |\n"
           "                  -UnregServer] [--root=DIR]\n"
           "       mwservice [--bus=session|system] [--state-dir=DIR] [--no-auth | "
           "--auth-group=NAME]\n"
           "\n"
           "Without a verb the program runs the Morrowick cleaning service on the bus that\n"
           "started it (else the system bus under systemd, else the session bus).\n"
           "  -RegServerPerUser    start on demand on this user's session bus\n"
           "  -UnregServerPerUser  undo -RegServerPerUser\n"
           "  -RegServer           start on demand on the system bus (needs root)\n"
           "  -Service             as -RegServer, run by systemd as mwservice.service\n"
           "  -UnregServer         stop and remove the system registration\n"
           "  --root=DIR           write the system registration below DIR\n"
           "  --bus=session|system the bus to serve on\n"
           "  --state-dir=DIR      where settings.mwk, mwservice.log and undeleted.tmp live\n"
           "  --no-auth            let every caller change settings (system bus)\n"
           "  --auth-group=NAME    only root and members of NAME may change settings\n";
}

} // namespace MW::Host
