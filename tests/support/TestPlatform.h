#pragma once
// Test helpers whose system calls differ between Linux and Windows.

#include <string>
#include <string_view>

namespace MW::Test {

// The separator the walk puts between a folder and an entry.
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// `path` with each '/' as the platform's separator.
std::string native(std::string path);

// The bytes a text-mode file holds for `text` (CR LF line ends on Windows), and
// text read from such a file with its line ends as line feeds again.
std::string textLines(std::string_view text);
std::string fromTextLines(std::string_view bytes);

// Makes a file read-only: no write permission for anyone on Linux, the read-only
// attribute on Windows.
void setReadOnly(const std::string& path);

// Creates one folder; throws when it cannot.
void makeFolder(const std::string& path);

// Sets the process's time zone (TZ in the form the C runtime reads: "UTC0",
// "EST5EDT") for the guard's life, then restores the previous one.
class CTimeZone {
public:
    explicit CTimeZone(const char* zone);
    ~CTimeZone();
    CTimeZone(const CTimeZone&) = delete;
    CTimeZone& operator=(const CTimeZone&) = delete;

private:
    bool m_bHadZone = false;
    std::string m_strSaved;
};

} // namespace MW::Test
