#pragma once
// What the client reads from a response's header block, as pure functions of the
// lines curl hands over: kept apart from the transfer, so that they are tested
// and fuzzed without a connection.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Cxx::Network::Detail {

// One line of a header block, as curl delivers it (line end included).
struct SHeaderLine {
    enum class EKind {
        status, // "HTTP/..." starts a response (a tunnel's, an interim one or the final one)
        end,    // only white space: the block is complete
        field,  // "Name: value"
        other,  // anything else, ignored
    };
    EKind kind = EKind::other;
    // status: the three digits after the first blank, 0 when they are not there.
    long status = 0;
    // field: the name and the value, white space and line end trimmed.
    std::string_view name;
    std::string_view value;
};
SHeaderLine parseHeaderLine(std::string_view line);

// Header names compare without regard to ASCII case.
bool headerNameEquals(std::string_view a, std::string_view b);

// The values of every field called `name` in a header block, in their order.
std::vector<std::string>
headerValues(const std::vector<std::pair<std::string, std::string>>& fields, std::string_view name);

// The schemes that challenge headers (WWW-Authenticate, Proxy-Authenticate) offer,
// in ASCII lower case and in order ("basic", "digest", ...); the parameters of a
// challenge ("realm=...") are skipped.
std::vector<std::string> offeredSchemes(const std::vector<std::string>& challenges);

// The body length of the first Content-Length value: decimal digits only, nothing
// when it is missing, empty, signed, followed by anything or too large.
std::optional<std::uint64_t> contentLength(const std::vector<std::string>& values);

} // namespace Cxx::Network::Detail
