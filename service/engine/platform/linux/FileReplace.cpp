#include "FileReplace.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
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

// Temporary files are named ".mwtmp-<process id>-<counter>".
constexpr std::string_view kTempPrefix = ".mwtmp-";

SReplaceResult failed(EReplaceResult result, int error) {
    return {result, std::error_code(error, std::generic_category())};
}

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

SReplaceResult replaceFile(const std::string& path, std::string_view content, int newFileMode) {
    if (path.empty() || path.back() == '/')
        return failed(EReplaceResult::cannotCreate, EISDIR);
    const std::size_t slash = path.rfind('/');
    const std::string directory =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));

    // A file we may not write stays as it is, as it would with a plain rewrite.
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT)
        return failed(EReplaceResult::cannotCreate, errno);

    // A short hidden name beside the file (so that a long file name still leaves
    // room for it), unique within this process and among processes.
    static std::atomic<unsigned> s_nCounter{0};
    int fd = -1;
    std::string tempPath;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        tempPath = directory + "/" + std::string(kTempPrefix) + std::to_string(::getpid()) + "-" +
                   std::to_string(s_nCounter++);
        fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST)
            return failed(EReplaceResult::cannotCreate, errno);
    }
    if (fd < 0)
        return failed(EReplaceResult::cannotCreate, EEXIST);
    CTempFile temp(fd, tempPath);

    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        // Best effort: an unprivileged caller cannot give the file away.
        if (::fchown(temp.fd(), old.st_uid, old.st_gid) != 0) {
        }
        if (::fchmod(temp.fd(), old.st_mode & 07777) != 0)
            return failed(EReplaceResult::cannotCreate, errno);
    } else if (newFileMode >= 0 && ::fchmod(temp.fd(), static_cast<mode_t>(newFileMode)) != 0) {
        return failed(EReplaceResult::cannotCreate, errno);
    }

    if (!writeAll(temp.fd(), content) || ::fsync(temp.fd()) != 0)
        return failed(EReplaceResult::writeFailed, errno);
    if (!temp.close())
        return failed(EReplaceResult::writeFailed, errno);
    if (::rename(temp.path().c_str(), path.c_str()) != 0)
        return failed(EReplaceResult::cannotCreate, errno);
    temp.keep();

    // Makes the rename itself durable; the new content is complete either way.
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return {};
}

std::size_t removeStaleTempFiles(const std::string& directory) {
    DIR* dir = ::opendir(directory.c_str());
    if (!dir)
        return 0;
    std::size_t removed = 0;
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (!name.starts_with(kTempPrefix))
            continue;
        // ".mwtmp-<pid>-<n>", digits only: nothing else is ours.
        const std::string_view rest = name.substr(kTempPrefix.size());
        const std::size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size() ||
            rest.find_first_not_of("0123456789-") != std::string_view::npos ||
            rest.find('-', dash + 1) != std::string_view::npos || dash > 9)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash))));
        // A running process may be saving right now; our own saves are not.
        if (pid != self && (::kill(pid, 0) == 0 || errno == EPERM))
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

} // namespace MW::Platform
