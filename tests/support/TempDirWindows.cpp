// TempDir.h on Windows: paths are UTF-8 with backslashes, and every file call
// goes through UTF-16.

#include "Files.h"
#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <windows.h>

namespace MW::Test {
namespace {

std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

TempDir::TempDir() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = base / ("mwtest-" + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            m_path = utf8(candidate);
            while (m_path.size() > 3 && (m_path.back() == '\\' || m_path.back() == '/'))
                m_path.pop_back();
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    // Read-only files cannot be removed on Windows until the attribute goes.
    std::error_code error;
    const std::filesystem::path root = Platform::fsPath(m_path);
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        ::SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(root, error);
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(Platform::fsPath(path), std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out << content;
}

std::string readFile(const std::string& path) {
    std::ifstream in(Platform::fsPath(path), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& path) {
    return ::GetFileAttributesW(Platform::fsPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void setAge(const std::string& path, long secondsAgo) {
    // The entry itself, also when it is a link.
    const HANDLE file = ::CreateFileW(
        Platform::fsPath(path).c_str(), FILE_WRITE_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + path);
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER when{};
    when.LowPart = now.dwLowDateTime;
    when.HighPart = now.dwHighDateTime;
    when.QuadPart -= static_cast<ULONGLONG>(secondsAgo) * 10000000ULL;
    FILETIME time{when.LowPart, when.HighPart};
    const bool set = ::SetFileTime(file, nullptr, &time, &time) != 0;
    ::CloseHandle(file);
    if (!set)
        throw std::runtime_error("SetFileTime failed on " + path);
}

} // namespace MW::Test
