#pragma once

#include <string>
#include <string_view>

namespace MW::Platform {

enum class EReplaceResult {
    ok,
    cannotCreate, // the file could not be created or put in place
    writeFailed,  // the content could not be written or flushed to the disk
};

// Writes `content` to a new file in the directory of `path`, flushes it to the
// disk and renames it over `path`, so that `path` always holds either the whole
// old content or the whole new one. An existing file's permissions carry over.
// On failure the new file is removed and `path` is left as it was.
EReplaceResult replaceFile(const std::string& path, std::string_view content);

} // namespace MW::Platform
