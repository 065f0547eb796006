#include "TempDir.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/time.h>

namespace MW::Test {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    // No dot in the name: a random ".0" in the path would make every file below
    // it a numbered backup to the cleaning rules.
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/mwtest-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave folders without permissions behind.
    for (auto it = std::filesystem::recursive_directory_iterator(
             m_path, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            ::chmod(it->path().c_str(), 0755);
    }
    std::filesystem::remove_all(m_path, ec);
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out << content;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

void setAge(const std::string& path, long secondsAgo) {
    const std::time_t when = std::time(nullptr) - secondsAgo;
    struct timeval times[2] = {{when, 0}, {when, 0}};
    if (::lutimes(path.c_str(), times) != 0)
        throw std::runtime_error("lutimes failed on " + path);
}

} // namespace MW::Test
