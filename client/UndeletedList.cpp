#include "UndeletedList.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
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

// Case-insensitive as the characters fold, ties broken by the exact bytes; one
// pass, so that the long common prefixes of a list's paths cost little.
bool foldedLess(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    int tie = 0;
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x == y)
            continue;
        const unsigned fx = folded(x);
        const unsigned fy = folded(y);
        if (fx != fy)
            return fx < fy;
        if (tie == 0)
            tie = x < y ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return tie < 0;
}

// The list's order as plain byte order: each byte replaced by the rank of its
// folded character among all folded characters (fewer than 256 of them), so
// that keys compare with memcmp and the exact bytes break ties.
struct SKeyed {
    std::string key;
    std::string text;
    bool operator<(const SKeyed& other) const {
        const int order = key.compare(other.key);
        return order != 0 ? order < 0 : text < other.text;
    }
};

const unsigned char* foldRanks() {
    static const auto ranks = [] {
        std::vector<unsigned> values;
        for (unsigned c = 0; c < 256; ++c)
            values.push_back(folded(static_cast<unsigned char>(c)));
        std::vector<unsigned> distinct = values;
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        std::array<unsigned char, 256> table{};
        for (unsigned c = 0; c < 256; ++c)
            table[c] = static_cast<unsigned char>(
                std::lower_bound(distinct.begin(), distinct.end(), values[c]) - distinct.begin());
        return table;
    }();
    return ranks.data();
}

void makeKey(std::string_view latin1, std::string& key) {
    const unsigned char* ranks = foldRanks();
    key.resize(latin1.size());
    for (std::size_t i = 0; i < latin1.size(); ++i)
        key[i] = static_cast<char>(ranks[static_cast<unsigned char>(latin1[i])]);
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
    std::uint64_t total = 0;
    // The candidates, pruned to the first maxEntries whenever they reach twice
    // that; after a prune, a line that does not sort before the last one kept
    // cannot be among the first and is only counted.
    std::vector<SKeyed> kept;
    kept.reserve(std::min<std::size_t>(2 * maxEntries, 1 << 20));
    std::string key; // reused: a line that is only counted costs no allocation
    bool pruned = false;
    SKeyed bound;
    const auto prune = [&] {
        std::nth_element(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(maxEntries - 1),
                         kept.end());
        kept.resize(maxEntries);
        bound = kept.back();
        pruned = true;
    };
    ForEachUndeletedLine(path, [&](std::string_view latin1) {
        ++total;
        if (maxEntries == 0)
            return;
        makeKey(latin1, key);
        if (pruned) {
            const int order = key.compare(bound.key);
            if (order > 0 || (order == 0 && latin1 >= std::string_view(bound.text)))
                return;
        }
        kept.push_back(SKeyed{key, std::string(latin1)});
        if (kept.size() >= 2 * maxEntries)
            prune();
    });
    if (kept.size() > maxEntries)
        prune();
    std::sort(kept.begin(), kept.end());
    result.more = total - kept.size();
    result.entries.reserve(kept.size());
    for (const SKeyed& entry : kept)
        result.entries.push_back(Latin1ToUtf8(entry.text));
    return result;
}

void SortUndeletedList(std::vector<std::string>& latin1Entries) {
    std::sort(latin1Entries.begin(), latin1Entries.end(),
              [](const std::string& a, const std::string& b) { return foldedLess(a, b); });
}

} // namespace MW::Client
