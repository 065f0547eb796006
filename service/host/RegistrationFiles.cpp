#include "RegistrationFiles.h"

#include "DataFiles.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace MW::Host {
namespace {

bool usablePath(std::string_view path) {
    if (path.empty() || path[0] != '/')
        return false;
    for (const char c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return false;
    return true;
}

std::string replaceAll(std::string_view text, std::string_view token, std::string_view value) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t pos = text.find(token); pos != std::string_view::npos;
         pos = text.find(token, start)) {
        out.append(text.substr(start, pos - start));
        out.append(value);
        start = pos + token.size();
    }
    out.append(text.substr(start));
    return out;
}

// Drops the lines that begin with `prefix`.
std::string withoutLines(std::string_view text, std::string_view prefix) {
    std::istringstream in{std::string(text)};
    std::string out, line;
    while (std::getline(in, line))
        if (!line.starts_with(prefix))
            out += line + '\n';
    return out;
}

} // namespace

std::optional<std::string> busExecWord(std::string_view programPath) {
    if (!usablePath(programPath))
        return std::nullopt;
    // Exec= is split like a shell command line, where inside double quotes a
    // backslash escapes '"' and itself; the file's own reader then wants every
    // backslash doubled once more.
    std::string word = "\"";
    for (const char c : programPath) {
        if (c == '"')
            word += "\\\\\"";
        else if (c == '\\')
            word += "\\\\\\\\";
        else
            word += c;
    }
    return word + '"';
}

std::optional<std::string> systemdExecWord(std::string_view programPath) {
    // systemd refuses quotes and backslashes in a program name outright.
    if (!usablePath(programPath) || programPath.find_first_of("\"'\\") != std::string_view::npos)
        return std::nullopt;
    // Inside the quotes only % specifiers are expanded in a program name.
    std::string word = "\"";
    for (const char c : programPath) {
        if (c == '%')
            word += c;
        word += c;
    }
    return word + '"';
}

std::string unitFile(std::string_view execWord) {
    return replaceAll(Data::kUnitTemplate, "@MW_EXEC_START@", execWord);
}

std::string systemActivationFile(std::string_view execWord, bool systemdService) {
    std::string text = replaceAll(Data::kSystemActivationTemplate, "@MW_EXEC@", execWord);
    return systemdService ? text : withoutLines(text, "SystemdService=");
}

std::string sessionActivationFile(std::string_view execWord) {
    return replaceAll(Data::kSessionActivationTemplate, "@MW_EXEC@", execWord);
}

std::string policyFile() {
    return std::string(Data::kPolicy);
}

std::vector<std::string> installedUnits(const std::string& root) {
    std::vector<std::string> units;
    std::vector<std::filesystem::path> seen;
    for (const char* dir :
         {"/etc/systemd/system", "/run/systemd/system", "/usr/local/lib/systemd/system",
          "/usr/lib/systemd/system", "/lib/systemd/system"}) {
        const std::string unit = root + dir + "/" + kUnitName;
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(unit, error)))
            continue;
        // /lib is /usr/lib on most systems now: the same file counts once.
        const auto real =
            std::filesystem::weakly_canonical(std::filesystem::path(unit).parent_path(), error);
        if (!error && std::find(seen.begin(), seen.end(), real) != seen.end())
            continue;
        seen.push_back(real);
        units.push_back(unit);
    }
    return units;
}

SystemPaths systemPaths(const std::string& root) {
    return {root + "/etc/systemd/system/" + kUnitName,
            root + "/usr/local/share/dbus-1/system-services/" + kActivationFileName,
            root + "/etc/dbus-1/system.d/" + kPolicyFileName};
}

} // namespace MW::Host
