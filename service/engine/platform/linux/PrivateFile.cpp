#include "PrivateFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace MW::Platform {
namespace {

bool groupId(const std::string& group, gid_t& gid) {
    std::vector<char> buffer(4096);
    struct group entry {};
    struct group* found = nullptr;
    while (::getgrnam_r(group.c_str(), &entry, buffer.data(), buffer.size(), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (!found)
        return false;
    gid = found->gr_gid;
    return true;
}

} // namespace

std::FILE* createPrivateFile(const std::string& path, const std::string& readerGroup) {
    // Never through a link someone put in the state folder.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    gid_t gid = 0;
    // An old file keeps its mode through O_CREAT; set it anew every time.
    if (!readerGroup.empty() && groupId(readerGroup, gid) &&
        ::fchown(fd, static_cast<uid_t>(-1), gid) == 0)
        ::fchmod(fd, 0640);
    else
        ::fchmod(fd, 0600);
    std::FILE* file = ::fdopen(fd, "w");
    if (!file)
        ::close(fd);
    return file;
}

bool renameFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace MW::Platform
