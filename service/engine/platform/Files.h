#pragma once
// Files the engine opens by path, with the platform's conventions: paths are UTF-8
// here and reach Windows as UTF-16 (a narrow call there reads them in the ANSI
// code page and fails on any other character), and text files get the platform's
// line ends.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace MW::Platform {

// The path as the standard library's file functions take it.
std::filesystem::path fsPath(const std::string& path);

// std::fopen in text mode ("r", "w" or "a"), not inherited by child processes.
std::FILE* openTextFile(const std::string& path, const char* mode);

// The size of the file at `path`; nothing when it cannot be read.
std::optional<std::uint64_t> fileSize(const std::string& path);

// Copies the file `from` over `to`, replacing a file there. False on failure.
bool copyFileOver(const std::string& from, const std::string& to);

// The bytes a text-mode stream stores for `text`: on Windows each line feed
// becomes CR LF, elsewhere nothing changes.
std::string textModeBytes(std::string_view text);

} // namespace MW::Platform
