#pragma once
// The service's list of the files a scan could not delete.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace MW::Client {

// The list is written by the service and may hold millions of lines, or one line
// of any length: what is read is bounded by these.
// At most this many entries are kept for display; the rest are only counted.
inline constexpr std::size_t kMaxUndeletedEntries = 100000;
// A line is cut after this many bytes (PATH_MAX on Linux: no path the service
// could have deleted is longer).
inline constexpr std::size_t kMaxUndeletedLineBytes = 4096;

// What a bounded read of the list gives: the first entries in the list's order
// (UTF-8) and how many further ones were left out.
struct SUndeletedEntries {
    std::vector<std::string> entries;
    std::uint64_t more = 0;
};

// Reads the list at `path` like ReadUndeletedList, holding at most `maxEntries`
// entries: those that sort first (SortUndeletedList); the others are counted in
// `more`. Lines are cut at kMaxUndeletedLineBytes. Memory stays within about
// maxEntries lines whatever the file holds.
SUndeletedEntries ReadUndeletedEntries(const std::string& path,
                                       std::size_t maxEntries = kMaxUndeletedEntries);

// Hands each non-empty line of the list to `line` in file order, as ISO 8859-1
// bytes without its line end, cut at kMaxUndeletedLineBytes; the file is read a
// piece at a time. false when it cannot be opened or a read fails.
bool ForEachUndeletedLine(const std::string& path,
                          const std::function<void(std::string_view latin1Line)>& line);

// One character of ISO 8859-1 as UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);

// Reads the list at `path` (UTF-8): one path per line, one byte per character
// (ISO 8859-1), lines ended by LF or CR LF. Returns the non-empty lines as UTF-8,
// sorted as the list shows them (SortUndeletedList); a line longer than
// kMaxUndeletedLineBytes is cut there. Every line is kept: for lists known to be
// small (tests); a display uses ReadUndeletedEntries. A missing or unreadable
// file gives an empty list.
std::vector<std::string> ReadUndeletedList(const std::string& path);

// The order the list shows (entries as ISO 8859-1 bytes): case-insensitive as
// Unicode folds those characters, ties broken by the exact text.
void SortUndeletedList(std::vector<std::string>& latin1Entries);

} // namespace MW::Client
