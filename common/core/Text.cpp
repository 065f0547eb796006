#include "Text.h"

#include <cstdint>

namespace MW::Common {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isSurrogate(char32_t cp) {
    return cp >= 0xD800 && cp <= 0xDFFF;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

// Decodes the code point at `i` and moves `i` past it; nullopt for a surrogate
// without its partner (`i` then moves by one unit).
std::optional<char32_t> decodeUtf16(std::u16string_view s, std::size_t& i) {
    const char32_t unit = s[i++];
    if (!isSurrogate(unit))
        return unit;
    if (unit <= 0xDBFF && i < s.size() && s[i] >= 0xDC00 && s[i] <= 0xDFFF)
        return 0x10000 + ((unit - 0xD800) << 10) + (s[i++] - 0xDC00u);
    return std::nullopt;
}

} // namespace

std::optional<char32_t> decodeUtf8(std::string_view s, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
    const std::uint8_t lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length;
    char32_t cp;
    char32_t min;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1Fu, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0Fu, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07u, min = 0x10000;
    } else {
        ++pos;
        return std::nullopt;
    }
    if (pos + length > s.size()) {
        ++pos;
        return std::nullopt;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const std::uint8_t cont = byte(pos + i);
        if ((cont & 0xC0) != 0x80) {
            ++pos;
            return std::nullopt;
        }
        cp = (cp << 6) | (cont & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || isSurrogate(cp)) {
        ++pos;
        return std::nullopt;
    }
    pos += length;
    return cp;
}

std::string toLatin1(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const auto cp = decodeUtf8(utf8, pos);
        out += (!cp || *cp > 0xFF) ? '?' : static_cast<char>(*cp);
    }
    return out;
}

std::string withControlsMarked(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t start = pos;
        const auto cp = decodeUtf8(utf8, pos);
        if (cp && (*cp < 0x20 || (*cp >= 0x7F && *cp <= 0x9F)))
            out += '?';
        else
            out.append(utf8.substr(start, pos - start));
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();)
        appendUtf16(out, decodeUtf8(utf8, pos).value_or(kReplacement));
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size();)
        appendUtf8(out, decodeUtf16(utf16, i).value_or(kReplacement));
    return out;
}

std::optional<std::u16string> utf8ToUtf16Strict(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const auto cp = decodeUtf8(utf8, pos);
        if (!cp)
            return std::nullopt;
        appendUtf16(out, *cp);
    }
    return out;
}

std::optional<std::string> utf16ToUtf8Strict(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3);
    for (std::size_t i = 0; i < utf16.size();) {
        const auto cp = decodeUtf16(utf16, i);
        if (!cp)
            return std::nullopt;
        appendUtf8(out, *cp);
    }
    return out;
}

void asciiLowerInPlace(std::string& text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    asciiLowerInPlace(out);
    return out;
}

} // namespace MW::Common
