#include "Files.h"

#include "Text.h"

#include <system_error>
#include <windows.h>

namespace MW::Platform {

std::filesystem::path fsPath(const std::string& path) {
    const std::u16string wide = Common::utf8ToUtf16(path);
    return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
}

std::FILE* openTextFile(const std::string& path, const char* mode) {
    // "t": text mode whatever the process default; "N": not inherited.
    const std::string narrowMode = std::string(mode) + "tN";
    const std::wstring wideMode(narrowMode.begin(), narrowMode.end());
    return ::_wfopen(fsPath(path).c_str(), wideMode.c_str());
}

std::optional<std::uint64_t> fileSize(const std::string& path) {
    // Not ::stat: its st_size has 32 bits here.
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(fsPath(path), error);
    if (error)
        return std::nullopt;
    return static_cast<std::uint64_t>(size);
}

bool copyFileOver(const std::string& from, const std::string& to) {
    // Not std::filesystem::copy_file: libstdc++ here takes any two files for the
    // same one (no inode numbers) and refuses to overwrite.
    return ::CopyFileW(fsPath(from).c_str(), fsPath(to).c_str(), FALSE) != 0;
}

std::string textModeBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

} // namespace MW::Platform
