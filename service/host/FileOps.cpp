#include "FileOps.h"

#include "FileReplace.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace MW::Host {
namespace {

std::string failure(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string makeDirectories(const std::string& dir) {
    if (dir.empty() || dir == "/")
        return {};
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? std::string() : "not a directory: " + dir;
    if (std::string error = makeDirectories(parentOf(dir)); !error.empty())
        return error;
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
        return failure("cannot create", dir, errno);
    return {};
}

std::string checkWritableDir(const std::string& dir) {
    std::string probe = dir;
    struct stat st {};
    while (::stat(probe.c_str(), &st) != 0) {
        if (errno != ENOENT || probe == "/")
            return failure("cannot reach", probe, errno);
        probe = parentOf(probe);
    }
    if (!S_ISDIR(st.st_mode))
        return "not a directory: " + probe;
    if (::access(probe.c_str(), W_OK | X_OK) != 0)
        return failure("cannot write to", probe, errno);
    return {};
}

std::string writeFileAtomically(const std::string& path, const std::string& content) {
    if (std::string error = makeDirectories(parentOf(path)); !error.empty())
        return error;
    // Registration files are read by the bus and by systemd, whatever the umask.
    const Platform::SReplaceResult result = Platform::replaceFile(path, content, 0644);
    if (result.result != Platform::EReplaceResult::ok)
        return "cannot write " + path + ": " + result.error.message();
    return {};
}

std::string removeFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return failure("cannot remove", path, errno);
    return {};
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string programPath() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    std::string path(buffer, static_cast<std::size_t>(n));
    // The kernel marks a program file that was replaced or removed meanwhile.
    if (path.ends_with(" (deleted)"))
        return {};
    return path;
}

std::string currentDirectory() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string("/");
}

} // namespace MW::Host
