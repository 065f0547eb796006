#pragma once
// The Config object's properties as plain values: what a client loads, shows,
// edits and saves, without a toolkit or a transport.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace MW::Client {

// The Config object's properties, in the contract's (dispatch id) order.
enum class EProperty {
    ScanFolder,
    FileTypes,
    OtherFileTypes,
    StartTime,
    DeleteAge,
    LastScan,
    CleanedSpace,
    ContactName,
    ContactEmail,
    ProxyServer,
    ProxyPort,
    ProxyUsage,
    ProxySysUsage,
    ProxySysServer,
    ProxySysBypass,
    ProxySysAccessType,
};
inline constexpr std::size_t kPropertyCount = 16;

// A property's value as the contract carries it: a text (UTF-8), a 32-bit signed
// or unsigned number, a 64-bit count, or an OLE date.
using PropertyValue = std::variant<std::string, std::int32_t, std::uint32_t, std::uint64_t, double>;

struct SPropertyInfo {
    EProperty property;
    const char* name; // the property's name on the bus and in COM
    int dispId;       // its dispatch id in the type library
    std::size_t kind; // the PropertyValue alternative it carries
};
const std::array<SPropertyInfo, kPropertyCount>& ConfigProperties();
const SPropertyInfo& PropertyInfo(EProperty property);
std::optional<EProperty> FindProperty(std::string_view name);

// The proxy dialog's values.
struct SProxyValues {
    bool useProxy = false;           // ProxyUsage: an explicit server and port apply
    std::string server;              // ProxyServer
    std::string port;                // ProxyPort, as typed
    bool useSystemProxy = false;     // ProxySysUsage
    std::string sysServer;           // ProxySysServer, as last read from the system
    std::string sysBypass;           // ProxySysBypass
    std::uint32_t sysAccessType = 0; // ProxySysAccessType: 0 none, 3 a named proxy
};

// Every setting a user edits: what a save writes and a load fills.
struct SSettingsValues {
    std::string scanFolder;
    std::string fileTypes;
    std::string otherFileTypes;
    std::int32_t deleteAge = 0; // EDeleteAge; -1 for none
    double startTime = 0;       // OLE date
    SProxyValues proxy;
    std::string contactName;
    std::string contactEmail;
};

// What the Overview shows of the Config object.
struct SOverviewValues {
    std::string lastScan;
    std::uint64_t cleanedSpace = 0;
};

// The settings a save writes, in the order the service expects them.
inline constexpr std::array<EProperty, 14> kSaveOrder = {
    EProperty::ScanFolder,     EProperty::FileTypes,     EProperty::OtherFileTypes,
    EProperty::DeleteAge,      EProperty::StartTime,     EProperty::ProxyUsage,
    EProperty::ProxyServer,    EProperty::ProxyPort,     EProperty::ProxySysUsage,
    EProperty::ProxySysServer, EProperty::ProxySysBypass, EProperty::ProxySysAccessType,
    EProperty::ContactName,    EProperty::ContactEmail,
};

// Whether the property is one of the settings (all but LastScan and CleanedSpace).
bool IsSetting(EProperty property);
// A setting's value as the contract carries it: the two proxy flags as automation
// booleans (-1 for true, 0 for false).
PropertyValue ValueOf(const SSettingsValues& values, EProperty property);
// Takes a value read from the service into the setting (any number other than 0
// is true for the flags). False, changing nothing, for a value of another type
// than the property's or a property that is not a setting.
bool Assign(SSettingsValues& values, EProperty property, const PropertyValue& value);
bool Assign(SOverviewValues& values, EProperty property, const PropertyValue& value);

// Whether two values of a setting show the same on the pages: file types by the
// boxes they check, ages outside the six choices as none, start times to the
// millisecond, everything else exactly. A page cannot hold the difference
// between two such values, so the user cannot have made it and a save need not
// write it.
bool SameSetting(EProperty property, const SSettingsValues& a, const SSettingsValues& b);
// The settings of `now` that differ from `base`, in the save order.
std::vector<EProperty> ChangedSettings(const SSettingsValues& now, const SSettingsValues& base);

// A setting changed in the service (by another client or the service itself):
// `base`, the values last loaded or received, takes it; `shown` takes it too
// unless the user has changed that value since (it differs from `base`), so that
// an edit not yet saved survives. True when `shown` changed.
bool FollowChange(EProperty property, const PropertyValue& value, SSettingsValues& base,
                  SSettingsValues& shown);
// The user's edits (the settings of `shown` that differ from `base`) put over
// `fresh`: what the pages show after a reload that must keep them.
SSettingsValues KeepEdits(const SSettingsValues& shown, const SSettingsValues& base,
                          SSettingsValues fresh);

} // namespace MW::Client
