#pragma once
// Conversions at the edges of the service: strings are UTF-8 inside, UTF-16 code
// units in the settings file, ISO 8859-1 in the log and the undeleted-files list.

#include <string>
#include <string_view>

namespace MW::Common {

// Each code point up to U+00FF becomes one byte; a higher code point and every
// byte of invalid UTF-8 become '?'.
std::string toLatin1(std::string_view utf8);

// The text with each control character (U+0000 to U+001F, U+007F to U+009F) as
// '?', so that a name written to a line-based file is always one line.
std::string withControlsMarked(std::string_view utf8);

// Invalid UTF-8 bytes become U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);

// Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view utf16);

// ASCII lowering: A-Z to a-z, every other byte unchanged (UTF-8 safe).
std::string asciiLower(std::string_view text);

} // namespace MW::Common
