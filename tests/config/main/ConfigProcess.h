#pragma once
// The real mwconfig program as a child process of a test.

#include "ServiceEnvironment.h"

#include <string>
#include <vector>

namespace MW::Test {

inline const std::string kMwConfig = MW_CONFIG_BINARY;

// Environment for one mwconfig run: the service environment's, plus its message
// boxes written to `messageLog` instead of waiting for an answer.
Env configEnv(const ServiceEnvironment& service, const std::string& messageLog,
              const Env& extra = {});

// Waits until a running mwconfig is connected and subscribed: the service's
// test event then reaches it and its "CMWObserver::test()" box is logged.
bool waitUntilConnected(ServiceEnvironment& service, const std::string& messageLog,
                        int seconds = 60);

int countLines(const std::string& text, const std::string& part);

} // namespace MW::Test
