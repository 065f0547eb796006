#pragma once
// Files that may name what not everybody may see.

#include <cstdio>
#include <string>

namespace MW::Platform {

// Creates (or truncates) `path` for writing, readable by its owner only, or also
// by the members of `readerGroup` when that names a group. Null on failure.
std::FILE* createPrivateFile(const std::string& path, const std::string& readerGroup);

// Renames `from` over `to`; false on failure.
bool renameFile(const std::string& from, const std::string& to);

} // namespace MW::Platform
