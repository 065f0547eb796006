#pragma once
// What the configurator asks of the HTTP client (common/net): the support
// message's request and the system's proxy configuration.

#include "ConfigTransfer.h"
#include "SupportMessage.h"

#include <string>

namespace MW::Win {

struct SPostOutcome {
    bool sent = false;
    // The client failed (errorCode: its code) or the server answered outside 2xx
    // (errorCode: the status); the message box names the code.
    bool hasErrorCode = false;
    int errorCode = 0;
    std::string detail;
};

// POST of the message to the support server through the explicit proxy (an
// empty server or port 0: the system proxy, if any). Sent only when a response
// arrived with a status of 2xx.
SPostOutcome PostSupportMessage(const Client::SSupportMessage& message,
                                const std::wstring& proxyServer, int proxyPort);

// The system's proxy configuration; throws Client::CSystemProxyError.
Client::SSystemProxy ReadSystemProxy(const Client::SSystemProxy& before);

} // namespace MW::Win
