#pragma once
// The registry entries of the COM server: the AppID, the ProgIDs and class keys
// of the engine and Config classes, and the type library. Written under the
// machine's classes (HKLM\Software\Classes) or, per user, under the current
// user's (HKCU\Software\Classes), which the classes root shows in their place.

#include <windows.h>

#include <string>

namespace MW::Host {

class CRegistrar {
public:
    // `perUser`: the current user's classes instead of the machine's.
    // `programPath`: the full path of mwservice.exe (unquoted).
    CRegistrar(bool perUser, std::wstring programPath);

    // The AppID key, replaced: its name, ServiceParameters "-Service" and the
    // group whose members may change the service; LocalService is removed.
    HRESULT registerAppId(const std::wstring& changeGroup) const;
    // LocalService = the service's name (after the service is installed).
    HRESULT setLocalService(const std::wstring& serviceName) const;
    // Removes LocalService and the AppID key.
    HRESULT unregisterAppId() const;

    // The ProgIDs, the class keys and the type library from resource 1.
    HRESULT registerClasses() const;
    // Removes what registerClasses wrote (never the parent keys CLSID and AppID).
    HRESULT unregisterClasses() const;

private:
    std::wstring classesPath() const;
    HKEY root() const;

    bool m_bPerUser;
    std::wstring m_strProgram;
};

// Where the registration keeps its values under the AppID key.
inline constexpr const wchar_t* kChangeGroupValue = L"ChangeGroup";

// The AppID key as the classes root shows it (the user's entries first), read at
// start: whether LocalService is set, and the group. The Win32 error when the
// key is missing.
struct SAppIdSettings {
    LONG error = ERROR_SUCCESS;
    bool localService = false;
    std::wstring changeGroup;
};
SAppIdSettings readAppIdSettings();

} // namespace MW::Host
