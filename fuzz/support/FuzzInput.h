#pragma once
// What the fuzz targets share: the input as arguments or as a file, a scratch
// folder, and a failure libFuzzer records as a crash (with the input kept).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace MW::Fuzz {

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The pieces between separators; n separators give n + 1 pieces.
inline std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> pieces;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        pieces.emplace_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return pieces;
        start = end + 1;
    }
}

// A property of the parser does not hold: abort, so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "fuzz property failed: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

// A file in memory whose path any open() takes: each input is written there
// without touching a disk.
class CMemoryFile {
public:
    CMemoryFile() : m_fd(::memfd_create("mw-fuzz-input", MFD_CLOEXEC)) {
        if (m_fd < 0)
            fail("memfd_create");
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    CMemoryFile(const CMemoryFile&) = delete;
    CMemoryFile& operator=(const CMemoryFile&) = delete;
    ~CMemoryFile() { ::close(m_fd); }

    const std::string& path() const { return m_path; }
    void assign(std::string_view bytes) {
        if (::ftruncate(m_fd, 0) != 0 ||
            ::pwrite(m_fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
            fail("writing the input file");
    }

private:
    int m_fd;
    std::string m_path;
};

// A private folder for targets whose parser writes beside the file it reads,
// removed when the process ends normally. It lies in memory (/dev/shm) where
// there is such a folder: the settings loader flushes every file it saves to
// the disk, which would make each run wait for it.
class CScratchDirectory {
public:
    CScratchDirectory() {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "mw-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            fail("mkdtemp");
        m_path = pattern;
    }
    CScratchDirectory(const CScratchDirectory&) = delete;
    CScratchDirectory& operator=(const CScratchDirectory&) = delete;
    ~CScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

inline const std::string& scratchDirectory() {
    static const CScratchDirectory directory;
    return directory.path();
}

// Writes `bytes` to `path`, replacing what was there.
inline void writeFile(const std::string& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0)
        fail("writing " + path);
}

} // namespace MW::Fuzz
