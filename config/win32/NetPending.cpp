// Stands in for Net.cpp while this build has no HTTP client of its own
// (common/net is built on Windows only with its WinHTTP implementation). The
// Contact tab then reports every message as not sent, and no system proxy is
// found (access type 0, the values before kept). CMake says so when it
// configures.
#include "Net.h"

namespace MW::Win {

SPostOutcome PostSupportMessage(const Client::SSupportMessage&, const std::wstring&, int) {
    return {false, false, 0, "this build has no HTTP client"};
}

Client::SSystemProxy ReadSystemProxy(const Client::SSystemProxy& before) {
    return {0, before.server, before.bypass};
}

} // namespace MW::Win
