#include "ResponseHeaders.h"

#include <algorithm>
#include <charconv>

namespace Cxx::Network::Detail {
namespace {

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

SHeaderLine parseHeaderLine(std::string_view line) {
    SHeaderLine parsed;
    if (line.starts_with("HTTP/")) {
        parsed.kind = SHeaderLine::EKind::status;
        // A status code is exactly three digits; anything else reads as no code,
        // never as the digits that happen to lead ("20x" is not 20).
        const auto space = line.find(' ');
        if (space != std::string_view::npos && line.size() - space > 3 &&
            std::all_of(line.begin() + static_cast<std::ptrdiff_t>(space) + 1,
                        line.begin() + static_cast<std::ptrdiff_t>(space) + 4, isDigit))
            parsed.status = (line[space + 1] - '0') * 100L + (line[space + 2] - '0') * 10L +
                            (line[space + 3] - '0');
        return parsed;
    }
    if (trim(line).empty()) {
        parsed.kind = SHeaderLine::EKind::end;
        return parsed;
    }
    const auto colon = line.find(':');
    if (colon != std::string_view::npos) {
        parsed.kind = SHeaderLine::EKind::field;
        parsed.name = trim(line.substr(0, colon));
        parsed.value = trim(line.substr(colon + 1));
    }
    return parsed;
}

bool headerNameEquals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

std::vector<std::string>
headerValues(const std::vector<std::pair<std::string, std::string>>& fields, std::string_view name) {
    std::vector<std::string> values;
    for (const auto& [key, value] : fields)
        if (headerNameEquals(key, name))
            values.push_back(value);
    return values;
}

std::vector<std::string> offeredSchemes(const std::vector<std::string>& challenges) {
    std::vector<std::string> schemes;
    for (const auto& value : challenges) {
        std::size_t pos = 0;
        while (pos <= value.size()) {
            auto end = value.find(',', pos);
            if (end == std::string::npos)
                end = value.size();
            const std::string_view piece = std::string_view(value).substr(pos, end - pos);
            pos = end + 1;
            const auto first = piece.find_first_not_of(" \t");
            if (first == std::string_view::npos)
                continue;
            const std::string_view word =
                piece.substr(first, piece.find_first_of(" \t", first) - first);
            if (word.find('=') != std::string_view::npos) // a parameter of the previous challenge
                continue;
            std::string scheme(word);
            std::transform(scheme.begin(), scheme.end(), scheme.begin(), asciiLower);
            schemes.push_back(std::move(scheme));
        }
    }
    return schemes;
}

std::optional<std::uint64_t> contentLength(const std::vector<std::string>& values) {
    if (values.empty() || values.front().empty())
        return std::nullopt;
    const std::string& text = values.front();
    std::uint64_t length = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return length;
}

} // namespace Cxx::Network::Detail
