#pragma once
// The few file operations the host needs, with errors as text.

#include <string>

namespace MW::Host {

// Creates `dir` and its missing parents with mode 0755. Empty on success, else why not.
std::string makeDirectories(const std::string& dir);

// Whether a file could be created in `dir`: the directory, or its nearest
// existing ancestor when it is missing, is writable. Empty when yes, else why not.
std::string checkWritableDir(const std::string& dir);

// Replaces `path` with `content` atomically (Platform::replaceFile), creating the
// directory; a new file gets mode 0644, an existing one keeps its owner and mode.
// Empty on success, else why not.
std::string writeFileAtomically(const std::string& path, const std::string& content);

// Removes `path`; a missing file counts as removed. Empty on success, else why not.
std::string removeFile(const std::string& path);

bool fileExists(const std::string& path);

// The absolute path of the running program, or empty when it cannot be known.
std::string programPath();

std::string currentDirectory();

} // namespace MW::Host
