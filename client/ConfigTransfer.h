#pragma once
// The load and save orders between a client's values and the service's Config
// object, over any transport that reads and writes one property at a time.

#include "ConfigValues.h"

#include <functional>
#include <stdexcept>

namespace MW::Client {

// The service's Config object for one transfer. Each call reaches the service;
// a failure throws (whatever the transport throws), and the transfer stops there.
class IConfigObject {
public:
    virtual ~IConfigObject() = default;
    virtual PropertyValue get(EProperty property) = 0;
    virtual void set(EProperty property, const PropertyValue& value) = 0;
};

// The system's proxy configuration as the proxy dialog keeps it.
struct SSystemProxy {
    std::uint32_t accessType = 0; // 0 none, 3 a named proxy
    std::string server;
    std::string bypass;
};
// Reading the system's proxy configuration failed; what() says why.
class CSystemProxyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// Reads the system's proxy configuration; server and bypass keep the values
// given when the system names no proxy. Throws CSystemProxyError.
using SystemProxyReader = std::function<SSystemProxy(const SSystemProxy& before)>;

struct SLoaded {
    SSettingsValues settings;
    SOverviewValues overview;
    // Set when the system proxy was to be read and could not be: the settings then
    // hold the system values they had before and nothing was written back.
    std::optional<std::string> systemProxyError;
};

// Reads every value in the load order: the folder, the types, the age, the start
// time, the explicit proxy, the system-proxy flag, the cleaned space, the last
// scan, the contact. The service's copy of the system proxy is not read: with the
// flag on, `readSystemProxy` supplies the system's values fresh, and unless
// `readOnly` they are written back at once; with it off, the values of `before`
// stay. The first failing call throws and nothing is returned.
SLoaded LoadSettings(IConfigObject& config, const SSettingsValues& before,
                     const SystemProxyReader& readSystemProxy, bool readOnly);

// Writes the settings of `now` that differ from `base` (see SameSetting), in the
// save order; each value written becomes part of `base`, so after a failure
// `base` still says what the service holds. Returns how many were written.
std::size_t SaveChangedSettings(IConfigObject& config, const SSettingsValues& now,
                                SSettingsValues& base);

// The Contact tab's proxy: the explicit server and the number its port starts
// with, or none (an empty server, port 0) when no explicit proxy is used.
struct SContactProxy {
    std::string server;
    int port = 0;
};
SContactProxy ContactProxy(const SProxyValues& proxy);

} // namespace MW::Client
