#include "FileTypes.h"

#include "Formatting.h"
#include "Text.h"

namespace MW::Client {

const std::array<SFileTypeBox, kFileTypeCount>& FileTypeBoxes() {
    static const std::array<SFileTypeBox, kFileTypeCount> boxes{{
        {".bak", ".bak"},
        {".dwl", ".dwl"},
        {".dwl2", ".dwl2"},
        {".ac$", ".ac$"},
        {".sv$", ".sv$"},
        {".bpn", ".bpn"},
        // The service deletes only the numbered backup copies of these two types.
        {"*.0*.rvt", ".rvt"},
        {"*.0*.rfa", ".rfa"},
        {".skb", ".skb"},
        {".fzb", ".fzb"},
    }};
    return boxes;
}

std::string BuildFileTypes(const FileTypeFlags& checked) {
    std::string text;
    for (std::size_t i = 0; i < kFileTypeCount; ++i) {
        if (!checked[i])
            continue;
        if (!text.empty())
            text += ',';
        text += FileTypeBoxes()[i].item;
    }
    return text;
}

FileTypeFlags ApplyFileTypes(std::string_view text) {
    FileTypeFlags flags{};
    for (std::size_t i = 0; i < kFileTypeCount; ++i)
        flags[i] = text.find(FileTypeBoxes()[i].item) != std::string_view::npos;
    return flags;
}

std::optional<std::string> NormaliseFileTypes(std::string_view words, std::string* unknown) {
    FileTypeFlags chosen{};
    std::size_t start = 0;
    while (start <= words.size()) {
        const std::size_t comma = std::min(words.find(',', start), words.size());
        const std::string word = TrimmedText(words.substr(start, comma - start));
        start = comma + 1;
        if (word.empty())
            continue;
        std::string item = Common::asciiLower(word);
        if (item.rfind("*.0*", 0) == 0)
            item.erase(0, 4);
        if (item.empty() || item.front() != '.')
            item.insert(0, 1, '.');
        std::size_t index = 0;
        while (index < kFileTypeCount && item != FileTypeBoxes()[index].item)
            ++index;
        if (index == kFileTypeCount) {
            if (unknown)
                *unknown = word;
            return std::nullopt;
        }
        chosen[index] = true;
    }
    return BuildFileTypes(chosen);
}

} // namespace MW::Client
