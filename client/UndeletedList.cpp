#include "UndeletedList.h"

#include <algorithm>
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

std::string latin1ToUtf8(const std::string& latin1) {
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

} // namespace

std::vector<std::string> ReadUndeletedList(const std::string& path) {
    std::vector<std::string> entries;
    if (path.empty())
        return entries;
    // A UTF-8 name, as the Windows file calls need it in UTF-16.
    std::ifstream file(std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size())),
        std::ios::binary);
    std::string line;
    // getline has no length limit, so a path longer than any buffer stays one entry.
    while (file && std::getline(file, line)) {
        // Text mode drops a CR only where it ends a line.
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            entries.push_back(line);
    }
    SortUndeletedList(entries);
    for (std::string& entry : entries)
        entry = latin1ToUtf8(entry);
    return entries;
}

void SortUndeletedList(std::vector<std::string>& latin1Entries) {
    std::sort(latin1Entries.begin(), latin1Entries.end(), foldedLess);
}

} // namespace MW::Client
