// The HTTP client's reading of response headers: status lines, fields, the
// schemes of WWW-Authenticate and Proxy-Authenticate challenges and
// Content-Length. Input: the header lines as curl hands them over, each ending
// in a line feed, collected the way the transfer collects them.
#include "FuzzInput.h"
#include "ResponseHeaders.h"

#include <utility>

namespace {

using namespace Cxx::Network::Detail;

std::vector<std::string> valuesOf(const std::vector<std::pair<std::string, std::string>>& fields,
                                  std::string_view name) {
    std::vector<std::string> values;
    for (const auto& [key, value] : fields)
        if (headerNameEquals(key, name))
            values.push_back(value);
    return values;
}

void checkSchemes(const std::vector<std::string>& challenges) {
    for (const std::string& scheme : offeredSchemes(challenges))
        if (scheme.empty() ||
            scheme.find_first_of(" \t,=ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos)
            MW::Fuzz::fail("scheme \"" + scheme + "\" is not one lower-case word");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::pair<std::string, std::string>> fields;
    std::string_view rest = MW::Fuzz::asText(data, size);
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size() - 1) + 1;
        const SHeaderLine line = parseHeaderLine(rest.substr(0, end));
        rest.remove_prefix(end);
        switch (line.kind) {
        case SHeaderLine::EKind::status:
            if (line.status < 0 || line.status > 999)
                MW::Fuzz::fail("status " + std::to_string(line.status) + " is not three digits");
            fields.clear();
            break;
        case SHeaderLine::EKind::field:
            if (line.name.find(':') != std::string_view::npos)
                MW::Fuzz::fail("a field name holds a colon");
            fields.emplace_back(line.name, line.value);
            break;
        case SHeaderLine::EKind::end:
        case SHeaderLine::EKind::other:
            break;
        }
    }
    checkSchemes(valuesOf(fields, "WWW-Authenticate"));
    checkSchemes(valuesOf(fields, "Proxy-Authenticate"));
    const auto lengths = valuesOf(fields, "Content-Length");
    if (const auto length = contentLength(lengths)) {
        const std::string& text = lengths.front();
        if (text.find_first_not_of("0123456789") != std::string::npos)
            MW::Fuzz::fail("Content-Length \"" + text + "\" taken as " + std::to_string(*length));
    }
    return 0;
}
