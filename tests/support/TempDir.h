#pragma once

#include "TestPlatform.h"

#include <string>

namespace MW::Test {

// A fresh directory under $TMPDIR (or /tmp; on Windows the temporary folder),
// removed with everything in it. Its path uses the platform's separator.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + kSeparator + name; }

private:
    std::string m_path;
};

// Small file helpers for tests.
void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
bool exists(const std::string& path);
// Sets the modification time to `secondsAgo` before now.
void setAge(const std::string& path, long secondsAgo);

} // namespace MW::Test
