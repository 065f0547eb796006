#pragma once
// The ten file types the configurator offers as boxes, and the FileTypes text
// the service stores for them.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace MW::Client {

struct SFileTypeBox {
    const char* label; // what the box shows
    const char* item;  // what goes into the FileTypes text
};
inline constexpr std::size_t kFileTypeCount = 10;
using FileTypeFlags = std::array<bool, kFileTypeCount>;
// In the order of the FileTypes text.
const std::array<SFileTypeBox, kFileTypeCount>& FileTypeBoxes();

// The items of the checked boxes in table order, separated by single commas.
std::string BuildFileTypes(const FileTypeFlags& checked);
// A flag is set when its item occurs anywhere in the text (case-sensitive), as the
// service itself tests types; so ".dwl2" also sets ".dwl".
FileTypeFlags ApplyFileTypes(std::string_view text);

// The FileTypes text for a list of type words such as ".fzb,bak,*.0*.RVT": the
// known items in table order. Words may lack their dot, carry the box's "*.0*"
// and be in any case. Nothing when a word is unknown; it is named in `unknown`.
std::optional<std::string> NormaliseFileTypes(std::string_view words, std::string* unknown);

} // namespace MW::Client
