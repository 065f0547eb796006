#include "FileReplace.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace MW::Platform {
namespace {

// Closes the descriptor and removes the temporary file unless released.
class CTempFile {
public:
    CTempFile(int fd, std::string path) : m_fd(fd), m_strPath(std::move(path)) {}
    ~CTempFile() {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_strPath.empty())
            ::unlink(m_strPath.c_str());
    }
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;

    int fd() const { return m_fd; }
    const std::string& path() const { return m_strPath; }
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }
    void keep() { m_strPath.clear(); }

private:
    int m_fd;
    std::string m_strPath;
};

bool writeAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

EReplaceResult replaceFile(const std::string& path, std::string_view content) {
    if (path.empty() || path.back() == '/')
        return EReplaceResult::cannotCreate;
    const std::size_t slash = path.rfind('/');
    const std::string directory =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));

    // A file we may not write stays as it is, as it would with a plain rewrite.
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT)
        return EReplaceResult::cannotCreate;

    // A short hidden name beside the file (so that a long file name still leaves
    // room for it), unique within this process and among processes.
    static std::atomic<unsigned> s_nCounter{0};
    int fd = -1;
    std::string tempPath;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        tempPath = directory + "/.mwtmp-" + std::to_string(::getpid()) + "-" +
                   std::to_string(s_nCounter++);
        fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST)
            return EReplaceResult::cannotCreate;
    }
    if (fd < 0)
        return EReplaceResult::cannotCreate;
    CTempFile temp(fd, tempPath);

    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        // Best effort: an unprivileged caller cannot give the file away.
        if (::fchown(temp.fd(), old.st_uid, old.st_gid) != 0) {
        }
        if (::fchmod(temp.fd(), old.st_mode & 07777) != 0) {
        }
    }

    if (!writeAll(temp.fd(), content) || ::fsync(temp.fd()) != 0 || !temp.close())
        return EReplaceResult::writeFailed;
    if (::rename(temp.path().c_str(), path.c_str()) != 0)
        return EReplaceResult::cannotCreate;
    temp.keep();

    // Makes the rename itself durable; the new content is complete either way.
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return EReplaceResult::ok;
}

} // namespace MW::Platform
