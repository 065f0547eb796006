#include "SystemProxy.h"

#include "CException.h"
#include "Messages.h"
#include "Text.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <map>
#include <mutex>
#include <unistd.h>

namespace Cxx::Network::Http::HttpClient {
namespace {

constexpr const char* kProxyNames[] = {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"};
constexpr const char* kBypassNames[] = {"no_proxy", "NO_PROXY"};

std::mutex g_fileMutex;
std::string g_machineFile = "/etc/environment";

struct Found {
    std::string proxy;
    std::string bypass;
};

// The first non-empty value of each list of names.
Found find(const std::function<std::string(const char*)>& lookup) {
    Found found;
    for (const char* name : kProxyNames)
        if (found.proxy = lookup(name); !found.proxy.empty())
            break;
    for (const char* name : kBypassNames)
        if (found.bypass = lookup(name); !found.bypass.empty())
            break;
    return found;
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// KEY=VALUE lines as pam_env reads them: comments, blank lines, an optional
// "export ", values in single or double quotes. A later line wins.
std::map<std::string, std::string> parseEnvironmentFile(const std::string& text) {
    std::map<std::string, std::string> values;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        if (line.rfind("export ", 0) == 0)
            line = trim(line.substr(7));
        const auto eq = line.find('=');
        if (eq == std::string::npos || eq == 0)
            continue;
        std::string value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        values[trim(line.substr(0, eq))] = value;
    }
    return values;
}

// Empty optional text when the file does not exist; throws when it cannot be read.
std::string readMachineFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        throw Exception::CNetworkException(Messages::kMachineProxyConfig);
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            throw Exception::CNetworkException(Messages::kMachineProxyConfig);
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

// True when a proxy was found; a value that is not UTF-8 raises `failure`.
bool take(const Found& found, const char* failure, std::u16string& server, std::u16string& bypass) {
    if (found.proxy.empty())
        return false;
    auto proxy = MW::Common::utf8ToUtf16Strict(found.proxy);
    auto list = MW::Common::utf8ToUtf16Strict(found.bypass);
    if (!proxy || !list)
        throw Exception::CNetworkException(failure);
    server = std::move(*proxy);
    bypass = std::move(*list);
    return true;
}

} // namespace

void SetMachineEnvironmentFile(const std::string& path) {
    const std::lock_guard lock(g_fileMutex);
    g_machineFile = path;
}

std::string MachineEnvironmentFile() {
    const std::lock_guard lock(g_fileMutex);
    return g_machineFile;
}

void ReadSystemProxy(std::uint32_t& accessType, std::u16string& server, std::u16string& bypass) {
    constexpr std::uint32_t kNamedProxy = 3;
    accessType = 0;
    const auto fromEnvironment = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    if (take(find(fromEnvironment), Messages::kUserProxyConfig, server, bypass)) {
        accessType = kNamedProxy;
        return;
    }
    const auto machine = parseEnvironmentFile(readMachineFile(MachineEnvironmentFile()));
    const auto fromMachine = [&machine](const char* name) {
        const auto it = machine.find(name);
        return it == machine.end() ? std::string() : it->second;
    };
    if (take(find(fromMachine), Messages::kMachineProxyConfig, server, bypass))
        accessType = kNamedProxy;
}

} // namespace Cxx::Network::Http::HttpClient
