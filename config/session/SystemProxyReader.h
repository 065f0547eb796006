#pragma once
// The one place the configurator reads the system's proxy configuration.

#include "ConfigTransfer.h"

namespace MW {

// The access type (0 none, 3 named proxy), server and bypass of the system's
// proxy configuration; server and bypass keep the values of `before` when no
// proxy is configured. Throws Client::CSystemProxyError with the reader's message.
Client::SSystemProxy ReadSystemProxy(const Client::SSystemProxy& before = {});

} // namespace MW
