#include "TestPlatform.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <sys/stat.h>
#ifdef _WIN32
#include "Files.h"

#include <filesystem>
#include <windows.h>
#endif

namespace MW::Test {
namespace {

void setZone(const char* zone) {
#ifdef _WIN32
    ::_putenv_s("TZ", zone ? zone : "");
    ::_tzset();
#else
    if (zone)
        ::setenv("TZ", zone, 1);
    else
        ::unsetenv("TZ");
    ::tzset();
#endif
}

} // namespace

std::string native(std::string path) {
    std::replace(path.begin(), path.end(), '/', kSeparator);
    return path;
}

std::string textLines(std::string_view text) {
#ifdef _WIN32
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
#else
    return std::string(text);
#endif
}

std::string fromTextLines(std::string_view bytes) {
#ifdef _WIN32
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
            out += bytes[i];
    return out;
#else
    return std::string(bytes);
#endif
}

void setReadOnly(const std::string& path) {
#ifdef _WIN32
    const std::wstring wide = Platform::fsPath(path).wstring();
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        !::SetFileAttributesW(wide.c_str(), attributes | FILE_ATTRIBUTE_READONLY))
        throw std::runtime_error("cannot make read-only: " + path);
#else
    if (::chmod(path.c_str(), 0444) != 0)
        throw std::runtime_error("cannot make read-only: " + path);
#endif
}

void makeFolder(const std::string& path) {
#ifdef _WIN32
    if (!std::filesystem::create_directory(Platform::fsPath(path)))
        throw std::runtime_error("cannot create " + path);
#else
    if (::mkdir(path.c_str(), 0755) != 0)
        throw std::runtime_error("cannot create " + path);
#endif
}

CTimeZone::CTimeZone(const char* zone) {
    if (const char* saved = std::getenv("TZ")) {
        m_bHadZone = true;
        m_strSaved = saved;
    }
    setZone(zone);
}

CTimeZone::~CTimeZone() {
    setZone(m_bHadZone ? m_strSaved.c_str() : nullptr);
}

} // namespace MW::Test
