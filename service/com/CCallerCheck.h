#pragma once
// Who may change the service: members of the local Administrators group, members
// of the local group named at installation (default "Morrowick"), and the account
// the server itself runs as (a per-user server takes every change of its user).
// Everyone may read. The caller is the COM client of the call being served, seen
// through its token (CoImpersonateClient); a call made inside this process
// without COM (the service's own code, in-process tests) is this process's.
//
// A non-elevated administrator's token carries Administrators for deny only, so
// CheckTokenMembership does not count it: an ordinary desktop user needs the
// local group.

#include <windows.h>

#include <string>

namespace MW::COM {

// The group the installation names unless told otherwise.
inline constexpr const wchar_t* kDefaultChangeGroup = L"Morrowick";

// The rule on one token (an impersonation token, or null for the calling
// thread's): true when it counts Administrators, `group` or `self` among its
// enabled groups. A `group` that names no local group or alias counts for nobody;
// `self` may be null.
bool tokenMayChange(HANDLE token, const std::wstring& group, PSID self);

class CCallerCheck {
public:
    // The group whose members may change the service.
    static void setGroup(std::wstring group);
    static std::wstring group();

    // Whether the caller of the call being served may change the service.
    static bool callerMayChange();
    // Throws CContractError(access denied) unless callerMayChange().
    static void requireWriter();
};

} // namespace MW::COM
