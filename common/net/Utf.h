#pragma once
// Strict UTF conversions at the library's edge: bad input is refused, never patched.

#include <optional>
#include <string>
#include <string_view>

namespace Cxx::Network::Detail {

// nullopt on an unpaired surrogate.
std::optional<std::string> toUtf8(std::u16string_view text);
// nullopt on invalid UTF-8.
std::optional<std::u16string> toUtf16(std::string_view text);

} // namespace Cxx::Network::Detail
