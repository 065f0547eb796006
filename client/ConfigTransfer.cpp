#include "ConfigTransfer.h"

#include "Formatting.h"

namespace MW::Client {
namespace {

void read(IConfigObject& config, EProperty property, SSettingsValues& into) {
    const PropertyValue value = config.get(property);
    if (!Assign(into, property, value))
        throw std::runtime_error(std::string("The service answered ") +
                                 PropertyInfo(property).name + " with a value of another type.");
}

} // namespace

SLoaded LoadSettings(IConfigObject& config, const SSettingsValues& before,
                     const SystemProxyReader& readSystemProxy, bool readOnly) {
    SLoaded loaded;
    SSettingsValues& s = loaded.settings;
    s.proxy.sysServer = before.proxy.sysServer;
    s.proxy.sysBypass = before.proxy.sysBypass;
    s.proxy.sysAccessType = before.proxy.sysAccessType;
    for (const EProperty property :
         {EProperty::ScanFolder, EProperty::FileTypes, EProperty::OtherFileTypes,
          EProperty::DeleteAge, EProperty::StartTime, EProperty::ProxyServer, EProperty::ProxyPort,
          EProperty::ProxyUsage, EProperty::ProxySysUsage})
        read(config, property, s);

    if (s.proxy.useSystemProxy) {
        // The service's copy is not used: the system's settings are read fresh
        // and the service learns them at once.
        try {
            const SSystemProxy system = readSystemProxy(
                {before.proxy.sysAccessType, before.proxy.sysServer, before.proxy.sysBypass});
            s.proxy.sysAccessType = system.accessType;
            s.proxy.sysServer = system.server;
            s.proxy.sysBypass = system.bypass;
            if (!readOnly)
                for (const EProperty property : {EProperty::ProxySysServer,
                                                 EProperty::ProxySysBypass,
                                                 EProperty::ProxySysAccessType})
                    config.set(property, ValueOf(s, property));
        } catch (const CSystemProxyError& error) {
            loaded.systemProxyError = error.what();
        }
    }

    for (const EProperty property : {EProperty::CleanedSpace, EProperty::LastScan})
        if (!Assign(loaded.overview, property, config.get(property)))
            throw std::runtime_error(std::string("The service answered ") +
                                     PropertyInfo(property).name +
                                     " with a value of another type.");
    read(config, EProperty::ContactName, s);
    read(config, EProperty::ContactEmail, s);
    return loaded;
}

std::size_t SaveChangedSettings(IConfigObject& config, const SSettingsValues& now,
                                SSettingsValues& base) {
    std::size_t written = 0;
    for (const EProperty property : ChangedSettings(now, base)) {
        const PropertyValue value = ValueOf(now, property);
        config.set(property, value);
        Assign(base, property, value);
        ++written;
    }
    return written;
}

SContactProxy ContactProxy(const SProxyValues& proxy) {
    if (!proxy.useProxy)
        return {};
    return {proxy.server, LeadingInteger(proxy.port)};
}

} // namespace MW::Client
