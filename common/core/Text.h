#pragma once
// The one UTF-8 codec of the project and the conversions built on it. Strings are
// UTF-8 inside; UTF-16 code units in the settings file, on Windows file calls and
// in the HTTP client's interface; ISO 8859-1 in the log and the undeleted-files list.
//
// Two kinds of entry point: the lenient ones patch bad input (a file name read from
// disk must still be shown), the strict ones refuse it (a text the caller passes on
// must arrive as given, or not at all).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace MW::Common {

// Decodes the code point at `pos` and moves `pos` past it. Invalid UTF-8 (a stray
// or missing continuation byte, an overlong form, a surrogate, a code point past
// U+10FFFF) yields nullopt and moves `pos` by one byte, so each bad byte counts once.
std::optional<char32_t> decodeUtf8(std::string_view utf8, std::size_t& pos);

// Each code point up to U+00FF becomes one byte; a higher code point and every
// byte of invalid UTF-8 become '?'.
std::string toLatin1(std::string_view utf8);

// The text with each control character (U+0000 to U+001F, U+007F to U+009F) as
// '?', so that a name written to a line-based file is always one line.
std::string withControlsMarked(std::string_view utf8);

// Lenient: invalid UTF-8 bytes become U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);
// Lenient: unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view utf16);

// Strict: nullopt on invalid UTF-8.
std::optional<std::u16string> utf8ToUtf16Strict(std::string_view utf8);
// Strict: nullopt on an unpaired surrogate.
std::optional<std::string> utf16ToUtf8Strict(std::u16string_view utf16);

// ASCII lowering: A-Z to a-z, every other byte unchanged (UTF-8 safe).
void asciiLowerInPlace(std::string& text);
std::string asciiLower(std::string_view text);

} // namespace MW::Common
