#include "UndeletedList.h"

#include <algorithm>
#include <filesystem>
#include <cstring>
#include <fstream>

namespace MW::Client {
namespace {

// A character of ISO 8859-1 as Unicode's simple case folding gives it.
unsigned folded(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 0x20u;
    if (c == 0xB5) // MICRO SIGN folds to GREEK SMALL LETTER MU
        return 0x3BCu;
    return c;
}

bool foldedLess(const std::string& a, const std::string& b) {
    const auto less = [](char x, char y) {
        return folded(static_cast<unsigned char>(x)) < folded(static_cast<unsigned char>(y));
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), less))
        return true;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), less))
        return false;
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](char x, char y) { return static_cast<unsigned char>(x) < static_cast<unsigned char>(y); });
}

} // namespace

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

bool ForEachUndeletedLine(const std::string& path,
                          const std::function<void(std::string_view latin1Line)>& line) {
    if (path.empty())
        return false;
    // A UTF-8 name, as the Windows file calls need it in UTF-16.
    std::ifstream file(std::filesystem::path(
                           std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size())),
                       std::ios::binary);
    if (!file)
        return false;
    std::vector<char> buffer(64 * 1024);
    // The line so far. One byte past the bound is kept, so that a CR LF right
    // after a line of exactly kMaxUndeletedLineBytes is still seen as its end.
    std::string current;
    bool cut = false; // bytes of this line were dropped
    const auto append = [&](const char* from, std::size_t count) {
        const std::size_t room =
            kMaxUndeletedLineBytes + 1 - std::min(current.size(), kMaxUndeletedLineBytes + 1);
        current.append(from, std::min(count, room));
        cut = cut || count > room;
    };
    const auto endLine = [&] {
        // Only a CR right before the LF ends a line; one inside stays.
        if (!cut && !current.empty() && current.back() == '\r')
            current.pop_back();
        if (current.size() > kMaxUndeletedLineBytes)
            current.resize(kMaxUndeletedLineBytes);
        if (!current.empty())
            line(current);
        current.clear();
        cut = false;
    };
    while (file) {
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(file.gcount());
        const char* pos = buffer.data();
        const char* const end = pos + got;
        while (pos < end) {
            const auto* newline = static_cast<const char*>(
                std::memchr(pos, '\n', static_cast<std::size_t>(end - pos)));
            if (!newline) {
                append(pos, static_cast<std::size_t>(end - pos));
                break;
            }
            append(pos, static_cast<std::size_t>(newline - pos));
            endLine();
            pos = newline + 1;
        }
    }
    if (file.bad())
        return false;
    endLine();
    return true;
}

std::vector<std::string> ReadUndeletedList(const std::string& path) {
    std::vector<std::string> entries;
    ForEachUndeletedLine(path, [&](std::string_view latin1) { entries.emplace_back(latin1); });
    SortUndeletedList(entries);
    for (std::string& entry : entries)
        entry = Latin1ToUtf8(entry);
    return entries;
}

SUndeletedEntries ReadUndeletedEntries(const std::string& path, std::size_t maxEntries) {
    SUndeletedEntries result;
    // A max-heap of the entries that sort first: the largest kept one is on top
    // and makes way for any smaller line that comes.
    std::vector<std::string> heap;
    ForEachUndeletedLine(path, [&](std::string_view latin1) {
        if (heap.size() < maxEntries) {
            heap.emplace_back(latin1);
            std::push_heap(heap.begin(), heap.end(), foldedLess);
            return;
        }
        ++result.more;
        if (maxEntries == 0)
            return;
        std::string entry(latin1);
        if (!foldedLess(entry, heap.front()))
            return;
        std::pop_heap(heap.begin(), heap.end(), foldedLess);
        heap.back() = std::move(entry);
        std::push_heap(heap.begin(), heap.end(), foldedLess);
    });
    std::sort_heap(heap.begin(), heap.end(), foldedLess);
    result.entries.reserve(heap.size());
    for (const std::string& entry : heap)
        result.entries.push_back(Latin1ToUtf8(entry));
    return result;
}

void SortUndeletedList(std::vector<std::string>& latin1Entries) {
    std::sort(latin1Entries.begin(), latin1Entries.end(), foldedLess);
}

} // namespace MW::Client
