#pragma once
// The accounts the installer puts into the service's local group, as named on
// its command line (/USERS=a,b): a comma-separated list of "name" or
// "DOMAIN\name" entries.

#include <optional>
#include <string>
#include <vector>

namespace MW::Setup {

struct SUserList {
    std::vector<std::wstring> names; // in the order given, each once
    std::wstring error;              // empty when the list is sound
};

// Splits the list at commas and trims blanks and tabs around each entry. An
// empty entry ("a,,b", a trailing comma), a name with a character Windows
// forbids in account names, or an empty list is an error: a typing slip must not
// silently leave an intended user out of the group.
SUserList parseUserList(const std::wstring& text);

} // namespace MW::Setup
