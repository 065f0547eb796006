// Who may change the service, decided on real tokens: this process's, and
// restricted copies of it in which Administrators (as in a non-elevated
// administrator's token under User Account Control) or the account itself count
// for deny only.

#include "CCallerCheck.h"

#include <gtest/gtest.h>
#include <vector>
#include <windows.h>

using MW::COM::tokenMayChange;

namespace {

struct SSid {
    std::vector<BYTE> bytes;
    PSID get() { return bytes.empty() ? nullptr : bytes.data(); }
};

SSid wellKnown(WELL_KNOWN_SID_TYPE type) {
    SSid sid{std::vector<BYTE>(SECURITY_MAX_SID_SIZE)};
    DWORD size = SECURITY_MAX_SID_SIZE;
    EXPECT_TRUE(::CreateWellKnownSid(type, nullptr, sid.get(), &size));
    return sid;
}

class CallerCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, &m_process));
        DWORD size = 0;
        ::GetTokenInformation(m_process, TokenUser, nullptr, 0, &size);
        m_user.resize(size);
        ASSERT_TRUE(::GetTokenInformation(m_process, TokenUser, m_user.data(), size, &size));
    }
    void TearDown() override {
        for (HANDLE h : m_handles)
            ::CloseHandle(h);
        ::CloseHandle(m_process);
    }
    PSID self() { return reinterpret_cast<TOKEN_USER*>(m_user.data())->User.Sid; }
    // An identification token of this process with `denyOnly` counting for deny only.
    HANDLE token(std::vector<PSID> denyOnly = {}) {
        std::vector<SID_AND_ATTRIBUTES> disabled;
        for (PSID sid : denyOnly)
            disabled.push_back({sid, 0});
        HANDLE restricted = nullptr, identification = nullptr;
        EXPECT_TRUE(::CreateRestrictedToken(m_process, 0, static_cast<DWORD>(disabled.size()),
                                            disabled.empty() ? nullptr : disabled.data(), 0,
                                            nullptr, 0, nullptr, &restricted));
        EXPECT_TRUE(::DuplicateToken(restricted, SecurityIdentification, &identification));
        m_handles.push_back(restricted);
        m_handles.push_back(identification);
        return identification;
    }

    HANDLE m_process = nullptr;
    std::vector<BYTE> m_user;
    std::vector<HANDLE> m_handles;
};

TEST_F(CallerCheck, AdministratorsTheGroupOrTheServersOwnAccountMayChange) {
    SSid admins = wellKnown(WinBuiltinAdministratorsSid);
    // Wine runs every program as an administrator, as an elevated token would be.
    EXPECT_TRUE(tokenMayChange(token(), L"Morrowick", nullptr));

    // Administrators for deny only (a non-elevated administrator): not by that.
    HANDLE filtered = token({admins.get()});
    EXPECT_FALSE(tokenMayChange(filtered, L"Morrowick", nullptr));
    // The named group lets such a user in (BUILTIN\Users stands in for a local
    // group made at installation: Wine cannot make local groups).
    EXPECT_TRUE(tokenMayChange(filtered, L"Users", nullptr));
    // The account the server runs as counts (a per-user server's user); for a
    // service running as LocalSystem an ordinary user is not that account.
    EXPECT_TRUE(tokenMayChange(filtered, L"Morrowick", self()));
    SSid system = wellKnown(WinLocalSystemSid);
    EXPECT_FALSE(tokenMayChange(filtered, L"Morrowick", system.get()));

    // A user account's name does not stand in for a group, nor does nothing.
    wchar_t name[256];
    DWORD length = 256;
    ASSERT_TRUE(::GetUserNameW(name, &length));
    EXPECT_FALSE(tokenMayChange(filtered, name, nullptr));
    EXPECT_FALSE(tokenMayChange(filtered, L"", nullptr));
}

TEST_F(CallerCheck, ACallMadeInThisProcessIsThisProcesssOwn) {
    // No COM call is being served: the caller is this process, an administrator
    // under Wine.
    MW::COM::CCallerCheck::setGroup(L"Morrowick");
    EXPECT_TRUE(MW::COM::CCallerCheck::callerMayChange());
    EXPECT_NO_THROW(MW::COM::CCallerCheck::requireWriter());
}

} // namespace
