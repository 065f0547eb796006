#include "Formatting.h"

#include <array>
#include <charconv>
#include <limits>

namespace MW::Client {
namespace {

// The length of the white-space character starting at `at`, 0 when none does.
std::size_t spaceAt(std::string_view s, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return i < s.size() ? static_cast<unsigned char>(s[i]) : 0u;
    };
    const unsigned c = byte(at);
    if (c == ' ' || (c >= '\t' && c <= '\r'))
        return 1;
    if (c == 0xC2 && (byte(at + 1) == 0x85 || byte(at + 1) == 0xA0))
        return 2;
    if (c == 0xE1 && byte(at + 1) == 0x9A && byte(at + 2) == 0x80) // U+1680
        return 3;
    if (c == 0xE2 && byte(at + 1) == 0x80) { // U+2000-U+203F
        const unsigned low = byte(at + 2);
        if ((low >= 0x80 && low <= 0x8A) || low == 0xA8 || low == 0xA9 || low == 0xAF)
            return 3;
    }
    if (c == 0xE2 && byte(at + 1) == 0x81 && byte(at + 2) == 0x9F) // U+205F
        return 3;
    if (c == 0xE3 && byte(at + 1) == 0x80 && byte(at + 2) == 0x80) // U+3000
        return 3;
    return 0;
}

// Whether a white-space character ends exactly at `end`.
std::size_t spaceBefore(std::string_view s, std::size_t end) {
    for (std::size_t length = 1; length <= 3 && length <= end; ++length)
        if (spaceAt(s, end - length) == length)
            return length;
    return 0;
}

} // namespace

std::string FormatMegabytes(std::uint64_t bytes) {
    const double megabytes = static_cast<double>(bytes) * 0.0009765625 * 0.0009765625;
    // to_chars knows no locale, unlike printf after a program's setlocale().
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), megabytes,
                                      std::chars_format::fixed, 2);
    return std::string(buffer.data(), result.ptr);
}

int LeadingInteger(std::string_view text) {
    std::size_t at = 0;
    while (const std::size_t length = spaceAt(text, at))
        at += length;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > std::numeric_limits<int>::max()) {
            value = std::numeric_limits<int>::max();
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

std::string TrimmedText(std::string_view utf8) {
    std::size_t begin = 0;
    while (const std::size_t length = spaceAt(utf8, begin))
        begin += length;
    std::size_t end = utf8.size();
    while (end > begin) {
        const std::size_t length = spaceBefore(utf8, end);
        if (length == 0)
            break;
        end -= length;
    }
    return std::string(utf8.substr(begin, end - begin));
}

} // namespace MW::Client
