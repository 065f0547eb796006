#pragma once
// The service's list of the files a scan could not delete.

#include <string>
#include <vector>

namespace MW::Client {

// Reads the list at `path` (UTF-8): one path per line, one byte per character
// (ISO 8859-1), lines ended by LF or CR LF. Returns the non-empty lines as UTF-8,
// sorted as the list shows them (SortUndeletedList); a line of any length is one
// entry. A missing or unreadable file gives an empty list.
std::vector<std::string> ReadUndeletedList(const std::string& path);

// The order the list shows (entries as ISO 8859-1 bytes): case-insensitive as
// Unicode folds those characters, ties broken by the exact text.
void SortUndeletedList(std::vector<std::string>& latin1Entries);

} // namespace MW::Client
