#include "CCallerCheck.h"

#include "ComSupport.h"
#include "Contract.h"

#include <mutex>
#include <objbase.h>
#include <vector>

namespace MW::COM {
namespace {

std::mutex g_mutex;
std::wstring g_strGroup = kDefaultChangeGroup;

class CHandle {
public:
    CHandle() = default;
    ~CHandle() {
        if (m_h)
            ::CloseHandle(m_h);
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    HANDLE* put() { return &m_h; }
    HANDLE get() const { return m_h; }

private:
    HANDLE m_h = nullptr;
};

bool isMember(HANDLE token, PSID sid) {
    BOOL member = FALSE;
    return sid && ::CheckTokenMembership(token, sid, &member) && member;
}

// Whether the token's own account is `self` and counts for more than denying
// (CheckTokenMembership may look at the groups only).
bool isAccount(HANDLE token, PSID self) {
    if (isMember(token, self))
        return true;
    HANDLE query = token;
    CHandle own;
    if (!query) {
        if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, own.put()))
            return false;
        query = own.get();
    }
    DWORD size = 0;
    ::GetTokenInformation(query, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !::GetTokenInformation(query, TokenUser, buffer.data(), size, &size))
        return false;
    const SID_AND_ATTRIBUTES& user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User;
    return ::EqualSid(user.Sid, self) && !(user.Attributes & SE_GROUP_USE_FOR_DENY_ONLY);
}

// The SID of a local group or alias by name; empty when the name is no group.
std::vector<BYTE> groupSid(const std::wstring& name) {
    if (name.empty())
        return {};
    DWORD sidSize = 0, domainSize = 0;
    SID_NAME_USE use = SidTypeUnknown;
    ::LookupAccountNameW(nullptr, name.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
    if (sidSize == 0)
        return {};
    std::vector<BYTE> sid(sidSize);
    std::vector<wchar_t> domain(domainSize + 1);
    if (!::LookupAccountNameW(nullptr, name.c_str(), sid.data(), &sidSize, domain.data(),
                              &domainSize, &use))
        return {};
    // A user account of that name must not stand in for the group.
    if (use != SidTypeGroup && use != SidTypeAlias && use != SidTypeWellKnownGroup)
        return {};
    return sid;
}

// The account this process runs as.
std::vector<BYTE> processUserSid() {
    CHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return {};
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    std::vector<BYTE> copy(::GetLengthSid(sid));
    ::CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid);
    return copy;
}

// An identification token for the caller of the COM call being served; for a
// call that did not come through COM, this process's own. False when the
// caller cannot be identified (which refuses it).
bool callerToken(CHandle& token) {
    IServerSecurity* security = nullptr;
    if (FAILED(::CoGetCallContext(IID_IServerSecurity, reinterpret_cast<void**>(&security)))) {
        // No COM call is being served on this thread: the caller is this process.
        CHandle process;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE,
                                process.put()))
            return false;
        return ::DuplicateToken(process.get(), SecurityIdentification, token.put()) != 0;
    }
    bool ok = false;
    if (SUCCEEDED(security->ImpersonateClient())) {
        ok = ::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.put()) != 0;
        security->RevertToSelf();
    }
    security->Release();
    return ok;
}

} // namespace

bool tokenMayChange(HANDLE token, const std::wstring& group, PSID self) {
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof admins;
    if (::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size) &&
        isMember(token, admins))
        return true;
    if (std::vector<BYTE> sid = groupSid(group); !sid.empty() && isMember(token, sid.data()))
        return true;
    return self && isAccount(token, self);
}

void CCallerCheck::setGroup(std::wstring group) {
    std::lock_guard lock(g_mutex);
    g_strGroup = std::move(group);
}

std::wstring CCallerCheck::group() {
    std::lock_guard lock(g_mutex);
    return g_strGroup;
}

bool CCallerCheck::callerMayChange() {
    CHandle token;
    if (!callerToken(token))
        return false;
    static const std::vector<BYTE> self = processUserSid();
    return tokenMayChange(token.get(), group(),
                          self.empty() ? nullptr : const_cast<BYTE*>(self.data()));
}

void CCallerCheck::requireWriter() {
    if (callerMayChange())
        return;
    throw CContractError(Bus::kErrorAccessDenied,
                         "Only administrators and members of the group \"" + narrow(group()) +
                             "\" may change the service.");
}

} // namespace MW::COM
