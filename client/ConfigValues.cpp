#include "ConfigValues.h"

#include "Contract.h"
#include "FileTypes.h"
#include "OleDateTime.h"

namespace MW::Client {
namespace {

constexpr std::size_t kText = 0, kInt32 = 1, kUInt32 = 2, kUInt64 = 3, kDate = 4;

std::int32_t asVariantBool(bool value) {
    return value ? -1 : 0;
}

// The six ages the page offers; anything else shows as none checked.
std::int32_t shownAge(std::int32_t age) {
    return age >= eDA_Day && age <= eDA_Year ? age : eDA_None;
}

// A pointer to the member that holds a text setting, or null.
template <typename Values> auto textMember(Values& v, EProperty p) -> decltype(&v.scanFolder) {
    switch (p) {
    case EProperty::ScanFolder: return &v.scanFolder;
    case EProperty::FileTypes: return &v.fileTypes;
    case EProperty::OtherFileTypes: return &v.otherFileTypes;
    case EProperty::ContactName: return &v.contactName;
    case EProperty::ContactEmail: return &v.contactEmail;
    case EProperty::ProxyServer: return &v.proxy.server;
    case EProperty::ProxyPort: return &v.proxy.port;
    case EProperty::ProxySysServer: return &v.proxy.sysServer;
    case EProperty::ProxySysBypass: return &v.proxy.sysBypass;
    default: return nullptr;
    }
}

} // namespace

const std::array<SPropertyInfo, kPropertyCount>& ConfigProperties() {
    static const std::array<SPropertyInfo, kPropertyCount> properties{{
        {EProperty::ScanFolder, "ScanFolder", DispId::ScanFolder, kText},
        {EProperty::FileTypes, "FileTypes", DispId::FileTypes, kText},
        {EProperty::OtherFileTypes, "OtherFileTypes", DispId::OtherFileTypes, kText},
        {EProperty::StartTime, "StartTime", DispId::StartTime, kDate},
        {EProperty::DeleteAge, "DeleteAge", DispId::DeleteAge, kInt32},
        {EProperty::LastScan, "LastScan", DispId::LastScan, kText},
        {EProperty::CleanedSpace, "CleanedSpace", DispId::CleanedSpace, kUInt64},
        {EProperty::ContactName, "ContactName", DispId::ContactName, kText},
        {EProperty::ContactEmail, "ContactEmail", DispId::ContactEmail, kText},
        {EProperty::ProxyServer, "ProxyServer", DispId::ProxyServer, kText},
        {EProperty::ProxyPort, "ProxyPort", DispId::ProxyPort, kText},
        {EProperty::ProxyUsage, "ProxyUsage", DispId::ProxyUsage, kInt32},
        {EProperty::ProxySysUsage, "ProxySysUsage", DispId::ProxySysUsage, kInt32},
        {EProperty::ProxySysServer, "ProxySysServer", DispId::ProxySysServer, kText},
        {EProperty::ProxySysBypass, "ProxySysBypass", DispId::ProxySysBypass, kText},
        {EProperty::ProxySysAccessType, "ProxySysAccessType", DispId::ProxySysAccessType,
         kUInt32},
    }};
    return properties;
}

const SPropertyInfo& PropertyInfo(EProperty property) {
    return ConfigProperties()[static_cast<std::size_t>(property)];
}

std::optional<EProperty> FindProperty(std::string_view name) {
    for (const SPropertyInfo& info : ConfigProperties())
        if (name == info.name)
            return info.property;
    return std::nullopt;
}

bool IsSetting(EProperty property) {
    return property != EProperty::LastScan && property != EProperty::CleanedSpace;
}

PropertyValue ValueOf(const SSettingsValues& values, EProperty property) {
    if (const std::string* text = textMember(values, property))
        return *text;
    switch (property) {
    case EProperty::DeleteAge: return values.deleteAge;
    case EProperty::StartTime: return values.startTime;
    case EProperty::ProxyUsage: return asVariantBool(values.proxy.useProxy);
    case EProperty::ProxySysUsage: return asVariantBool(values.proxy.useSystemProxy);
    case EProperty::ProxySysAccessType: return values.proxy.sysAccessType;
    default: return std::string(); // not a setting
    }
}

bool Assign(SSettingsValues& values, EProperty property, const PropertyValue& value) {
    if (!IsSetting(property) || value.index() != PropertyInfo(property).kind)
        return false;
    if (std::string* text = textMember(values, property)) {
        *text = std::get<std::string>(value);
        return true;
    }
    switch (property) {
    case EProperty::DeleteAge: values.deleteAge = std::get<std::int32_t>(value); break;
    case EProperty::StartTime: values.startTime = std::get<double>(value); break;
    case EProperty::ProxyUsage: values.proxy.useProxy = std::get<std::int32_t>(value) != 0; break;
    case EProperty::ProxySysUsage:
        values.proxy.useSystemProxy = std::get<std::int32_t>(value) != 0;
        break;
    case EProperty::ProxySysAccessType:
        values.proxy.sysAccessType = std::get<std::uint32_t>(value);
        break;
    default: return false;
    }
    return true;
}

bool Assign(SOverviewValues& values, EProperty property, const PropertyValue& value) {
    if (value.index() != PropertyInfo(property).kind)
        return false;
    if (property == EProperty::LastScan)
        values.lastScan = std::get<std::string>(value);
    else if (property == EProperty::CleanedSpace)
        values.cleanedSpace = std::get<std::uint64_t>(value);
    else
        return false;
    return true;
}

bool SameSetting(EProperty property, const SSettingsValues& a, const SSettingsValues& b) {
    switch (property) {
    case EProperty::FileTypes: return ApplyFileTypes(a.fileTypes) == ApplyFileTypes(b.fileTypes);
    case EProperty::DeleteAge: return shownAge(a.deleteAge) == shownAge(b.deleteAge);
    case EProperty::StartTime: return OleDate::sameMoment(a.startTime, b.startTime);
    default: return ValueOf(a, property) == ValueOf(b, property);
    }
}

std::vector<EProperty> ChangedSettings(const SSettingsValues& now, const SSettingsValues& base) {
    std::vector<EProperty> changed;
    for (const EProperty property : kSaveOrder)
        if (!SameSetting(property, now, base))
            changed.push_back(property);
    return changed;
}

bool FollowChange(EProperty property, const PropertyValue& value, SSettingsValues& base,
                  SSettingsValues& shown) {
    const bool edited = !SameSetting(property, shown, base);
    if (!Assign(base, property, value) || edited)
        return false;
    const bool differs = !SameSetting(property, shown, base);
    Assign(shown, property, value);
    return differs;
}

SSettingsValues KeepEdits(const SSettingsValues& shown, const SSettingsValues& base,
                          SSettingsValues fresh) {
    for (const EProperty property : ChangedSettings(shown, base))
        Assign(fresh, property, ValueOf(shown, property));
    return fresh;
}

} // namespace MW::Client
