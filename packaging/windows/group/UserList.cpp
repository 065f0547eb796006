#include "UserList.h"

#include <algorithm>
#include <cwctype>

namespace MW::Setup {

namespace {

std::wstring trimmed(const std::wstring& text) {
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// Characters an account name may not hold; the backslash is allowed once, to
// separate the domain (or the computer) from the name.
bool validName(const std::wstring& name) {
    static const std::wstring forbidden = L"\"/[]:;|=+*?<>@";
    if (std::any_of(name.begin(), name.end(), [](wchar_t c) {
            return c < 0x20 || forbidden.find(c) != std::wstring::npos;
        }))
        return false;
    const auto slash = name.find(L'\\');
    if (slash == std::wstring::npos)
        return true;
    return slash != 0 && slash + 1 < name.size() && name.find(L'\\', slash + 1) == std::wstring::npos;
}

bool sameName(const std::wstring& a, const std::wstring& b) {
    // Account names compare without regard to case, as Windows compares them.
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return ::towlower(x) == ::towlower(y);
           });
}

} // namespace

SUserList parseUserList(const std::wstring& text) {
    SUserList list;
    if (trimmed(text).empty()) {
        list.error = L"no user named";
        return list;
    }
    std::size_t start = 0;
    for (;;) {
        const auto comma = text.find(L',', start);
        const std::wstring name = trimmed(text.substr(start, comma == std::wstring::npos
                                                                 ? std::wstring::npos
                                                                 : comma - start));
        if (name.empty()) {
            list.error = L"an empty user name in the list";
            list.names.clear();
            return list;
        }
        if (!validName(name)) {
            list.error = L"not a user name: " + name;
            list.names.clear();
            return list;
        }
        if (std::none_of(list.names.begin(), list.names.end(),
                         [&](const std::wstring& known) { return sameName(known, name); }))
            list.names.push_back(name);
        if (comma == std::wstring::npos)
            return list;
        start = comma + 1;
    }
}

} // namespace MW::Setup
