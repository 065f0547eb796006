#include "WinCommandLine.h"

#include "ComSupport.h"

#include <vector>

namespace MW::Host {
namespace {

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// Splits at blanks outside double quotes; quotes are kept, so that the verb
// search sees the words as they were written.
std::vector<std::wstring_view> words(std::wstring_view line) {
    std::vector<std::wstring_view> result;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && isBlank(line[pos]))
            ++pos;
        if (pos == line.size())
            break;
        const std::size_t start = pos;
        bool quoted = false;
        while (pos < line.size() && (quoted || !isBlank(line[pos]))) {
            if (line[pos] == L'"')
                quoted = !quoted;
            ++pos;
        }
        result.push_back(line.substr(start, pos - start));
    }
    return result;
}

bool equalsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (towlower(a[i]) != towlower(b[i]))
            return false;
    return true;
}

std::wstring unquoted(std::wstring_view text) {
    std::wstring result;
    for (const wchar_t c : text)
        if (c != L'"')
            result += c;
    return result;
}

} // namespace

std::wstring_view argumentsOf(std::wstring_view commandLine) {
    std::size_t pos = 0;
    while (pos < commandLine.size() && isBlank(commandLine[pos]))
        ++pos;
    if (pos < commandLine.size() && commandLine[pos] == L'"') {
        const std::size_t end = commandLine.find(L'"', pos + 1);
        pos = end == std::wstring_view::npos ? commandLine.size() : end + 1;
    } else {
        while (pos < commandLine.size() && !isBlank(commandLine[pos]))
            ++pos;
    }
    return commandLine.substr(pos);
}

WinCommandLine parseWinCommandLine(std::wstring_view arguments) {
    WinCommandLine result;
    std::wstring verbLine;
    constexpr std::wstring_view kGroupOption = L"--auth-group=";
    for (const std::wstring_view word : words(arguments)) {
        const std::wstring plain = unquoted(word);
        if (equalsNoCase(plain, L"/quiet") || equalsNoCase(plain, L"-quiet")) {
            result.quiet = true;
        } else if (plain.size() >= kGroupOption.size() &&
                   equalsNoCase(std::wstring_view(plain).substr(0, kGroupOption.size()),
                                kGroupOption)) {
            result.authGroup = plain.substr(kGroupOption.size());
            if (result.authGroup->empty() && result.error.empty())
                result.error = "--auth-group needs a group name";
        } else if (plain == L"--help" || plain == L"/?") {
            result.help = true;
        } else {
            if (!verbLine.empty())
                verbLine += L' ';
            verbLine += word;
        }
    }
    result.verb = findVerb(COM::narrow(verbLine));
    return result;
}

std::string winUsage() {
    return "Usage: mwservice.exe [-Service | -RegServer | -UnregServer | -RegServerPerUser |\n"
           "                      -UnregServerPerUser] [/quiet] [--auth-group=NAME]\n"
           "\n"
           "Without a verb the program runs the Morrowick cleaning service (under the\n"
           "service control manager, or as a COM local server when COM starts it).\n"
           "  -Service             register the classes and install the service \"mwservice\"\n"
           "  -RegServer           register the classes for a plain local server\n"
           "  -UnregServer         stop and remove the service and every registry entry\n"
           "  -RegServerPerUser    register the classes for the current user only\n"
           "  -UnregServerPerUser  undo -RegServerPerUser\n"
           "  /quiet               messages to standard error instead of message boxes\n"
           "  --auth-group=NAME    the local group whose members may change settings\n"
           "                       (default Morrowick; Administrators always may)\n";
}

} // namespace MW::Host
