#pragma once
// Texts the clients show and take: megabytes, typed numbers, trimmed input.

#include <cstdint>
#include <string>
#include <string_view>

namespace MW::Client {

// Bytes as megabytes of 1 048 576 bytes: two decimals, a full stop whatever the
// locale, no grouping; beyond 2^53 bytes with the precision a double has.
std::string FormatMegabytes(std::uint64_t bytes);

// The leading decimal number of a text after optional blanks and a sign, 0 when
// there is none (how a typed proxy port becomes a number); saturated at the int
// range.
int LeadingInteger(std::string_view text);

// UTF-8 text without white space at either end: the ASCII blanks and controls
// \t \n \v \f \r, U+0085 and the Unicode separators (U+00A0, U+1680,
// U+2000-U+200A, U+2028, U+2029, U+202F, U+205F, U+3000).
std::string TrimmedText(std::string_view utf8);

} // namespace MW::Client
