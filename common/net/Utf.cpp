#include "Utf.h"

#include <cstdint>

namespace Cxx::Network::Detail {
namespace {

bool isHigh(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLow(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

} // namespace

std::optional<std::string> toUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (isHigh(cp)) {
            if (i + 1 >= text.size() || !isLow(text[i + 1]))
                return std::nullopt;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00u);
        } else if (isLow(cp)) {
            return std::nullopt;
        }
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
    return out;
}

std::optional<std::u16string> toUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[pos]);
        std::size_t length;
        char32_t cp;
        char32_t min;
        if (lead < 0x80)
            length = 1, cp = lead, min = 0;
        else if ((lead & 0xE0) == 0xC0)
            length = 2, cp = lead & 0x1Fu, min = 0x80;
        else if ((lead & 0xF0) == 0xE0)
            length = 3, cp = lead & 0x0Fu, min = 0x800;
        else if ((lead & 0xF8) == 0xF0)
            length = 4, cp = lead & 0x07u, min = 0x10000;
        else
            return std::nullopt;
        if (pos + length > text.size())
            return std::nullopt;
        for (std::size_t i = 1; i < length; ++i) {
            const auto cont = static_cast<std::uint8_t>(text[pos + i]);
            if ((cont & 0xC0) != 0x80)
                return std::nullopt;
            cp = (cp << 6) | (cont & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return std::nullopt;
        pos += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

} // namespace Cxx::Network::Detail
