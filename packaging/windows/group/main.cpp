// mwgroup.exe: makes the local group whose members may change the service and
// puts accounts into it; the installer runs it from its temporary folder.
//   mwgroup.exe GROUP             the group, and the user logged on to this session
//   mwgroup.exe GROUP a,DOMAIN\b  the group, and the accounts named
// Exit code 0 when the group exists and every account is in it, else the first
// error (a Win32 or network management code; 87 for a bad list). One line per
// step on standard output, so the installer's log shows what happened.
//
// The session's user, not this process's: an installer elevated with another
// administrator's credentials runs as that administrator, while the account
// that needs the group is the one at the desktop.

#include "UserList.h"

#include <windows.h>
#include <lm.h>
#include <wtsapi32.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void say(const std::wstring& line) {
    std::fwprintf(stdout, L"%ls\n", line.c_str());
    std::fflush(stdout);
}

std::wstring sessionText(WTS_INFO_CLASS what) {
    LPWSTR buffer = nullptr;
    DWORD size = 0;
    std::wstring text;
    if (::WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, what, &buffer,
                                      &size) &&
        buffer)
        text = buffer;
    if (buffer)
        ::WTSFreeMemory(buffer);
    return text;
}

// "DOMAIN\name" of the session's user; empty when nobody is logged on to it
// (an installation run by a deployment tool in the services' session).
std::wstring sessionUser() {
    const std::wstring name = sessionText(WTSUserName);
    if (name.empty())
        return {};
    const std::wstring domain = sessionText(WTSDomainName);
    return domain.empty() ? name : domain + L"\\" + name;
}

DWORD makeGroup(const std::wstring& group) {
    std::wstring name = group;
    std::wstring comment = L"Members may change the settings of Morrowick and start its scans";
    LOCALGROUP_INFO_1 info{name.data(), comment.data()};
    const NET_API_STATUS status = ::NetLocalGroupAdd(nullptr, 1, reinterpret_cast<LPBYTE>(&info), nullptr);
    if (status == NERR_Success) {
        say(L"Created the local group " + group);
        return 0;
    }
    if (status == NERR_GroupExists || status == ERROR_ALIAS_EXISTS) {
        say(L"The local group " + group + L" exists");
        return 0;
    }
    say(L"Could not create the local group " + group + L": error " + std::to_wstring(status));
    return status;
}

DWORD addMember(const std::wstring& group, const std::wstring& account) {
    std::wstring name = account;
    LOCALGROUP_MEMBERS_INFO_3 member{name.data()};
    const NET_API_STATUS status =
        ::NetLocalGroupAddMembers(nullptr, group.c_str(), 3, reinterpret_cast<LPBYTE>(&member), 1);
    if (status == NERR_Success || status == ERROR_MEMBER_IN_ALIAS) {
        say(L"Added " + account + L" to " + group);
        return 0;
    }
    if (status == ERROR_NO_SUCH_MEMBER)
        say(L"Could not add " + account + L" to " + group + L": there is no such account");
    else
        say(L"Could not add " + account + L" to " + group + L": error " + std::to_wstring(status));
    return status;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2 || argc > 3 || !*argv[1]) {
        say(L"usage: mwgroup.exe GROUP [USER,USER...]");
        return ERROR_INVALID_PARAMETER;
    }
    const std::wstring group = argv[1];
    std::vector<std::wstring> accounts;
    if (argc == 3) {
        const MW::Setup::SUserList list = MW::Setup::parseUserList(argv[2]);
        if (!list.error.empty()) {
            say(L"Bad list of users: " + list.error);
            return ERROR_INVALID_PARAMETER;
        }
        accounts = list.names;
    } else if (const std::wstring user = sessionUser(); !user.empty()) {
        accounts.push_back(user);
    } else {
        say(L"Nobody is logged on to this session; no user added to " + group);
    }

    DWORD result = makeGroup(group);
    if (result != 0)
        return static_cast<int>(result);
    // Every account is tried, so one line names each that failed.
    for (const std::wstring& account : accounts)
        if (const DWORD status = addMember(group, account); status != 0 && result == 0)
            result = status;
    return static_cast<int>(result);
}
