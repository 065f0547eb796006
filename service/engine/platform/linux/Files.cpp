#include "Files.h"

#include <sys/stat.h>

namespace MW::Platform {

std::filesystem::path fsPath(const std::string& path) {
    return std::filesystem::path(path);
}

std::FILE* openTextFile(const std::string& path, const char* mode) {
    // "e": close-on-exec, so a program the service starts does not hold the file.
    return std::fopen(path.c_str(), (std::string(mode) + "e").c_str());
}

std::optional<std::uint64_t> fileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

bool copyFileOver(const std::string& from, const std::string& to) {
    std::error_code error;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
    return !error;
}

std::string textModeBytes(std::string_view text) {
    return std::string(text);
}

} // namespace MW::Platform
