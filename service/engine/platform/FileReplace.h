#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

namespace MW::Platform {

enum class EReplaceResult {
    ok,
    cannotCreate, // the file could not be created or put in place
    writeFailed,  // the content could not be written or flushed to the disk
};

struct SReplaceResult {
    EReplaceResult result = EReplaceResult::ok;
    std::error_code error; // why it failed, from the platform
};

// Writes `content` to a new file in the directory of `path`, flushes it to the
// disk, renames it over `path` and flushes the directory, so that `path` always
// holds either the whole old content or the whole new one. An existing file keeps
// its owner (as far as the caller may give it away) and its permissions; a new
// one gets `newFileMode`, or the platform's default for a negative value. On
// failure the new file is removed and `path` is left as it was.
SReplaceResult replaceFile(const std::string& path, std::string_view content, int newFileMode = -1);

// Removes the temporary files replaceFile left in `directory` because their
// process ended during a save (a kill, a power cut); those of running processes
// stay. Returns how many were removed.
std::size_t removeStaleTempFiles(const std::string& directory);

} // namespace MW::Platform
