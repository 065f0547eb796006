#pragma once
// The system's proxy configuration: the user's, then the machine's.

#include <cstdint>
#include <string>

namespace Cxx::Network::Http::HttpClient {

// Access type 3 (named proxy) with server and bypass when a proxy is configured.
// On Windows: the current user's browser configuration
// (WinHttpGetIEProxyConfigForCurrentUser), then the machine's WinHTTP default
// (WinHttpGetDefaultProxyConfiguration); a failure of either throws CNetworkException.
// On Linux: first from the process environment (https_proxy, HTTPS_PROXY, all_proxy, ALL_PROXY;
// bypass from no_proxy, NO_PROXY), then from the same names in the machine file
// (/etc/environment). Otherwise access type 0 and server and bypass untouched.
// A missing machine file means no proxy; an unreadable one throws CNetworkException.
void ReadSystemProxy(std::uint32_t& accessType, std::u16string& server, std::u16string& bypass);

#ifndef _WIN32
// Where the machine's configuration is read from; tests point it elsewhere.
void SetMachineEnvironmentFile(const std::string& path);
std::string MachineEnvironmentFile();
#endif

} // namespace Cxx::Network::Http::HttpClient
