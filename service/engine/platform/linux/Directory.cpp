#include "Directory.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace MW::Platform {
namespace {

// O_NOFOLLOW refuses a link as the last component, O_DIRECTORY anything that is not
// a folder (without opening it, so a pipe cannot block us).
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

DIR* listing(void* handle) {
    return static_cast<DIR*>(handle);
}

EEntryKind kindOfType(unsigned char type) {
    switch (type) {
    case DT_DIR:
        return EEntryKind::Directory;
    case DT_REG:
        return EEntryKind::File;
    case DT_LNK:
        return EEntryKind::Link;
    case DT_UNKNOWN:
        return EEntryKind::Unknown;
    default:
        return EEntryKind::Special;
    }
}

EEntryKind kindOfMode(mode_t mode) {
    if (S_ISDIR(mode))
        return EEntryKind::Directory;
    if (S_ISREG(mode))
        return EEntryKind::File;
    if (S_ISLNK(mode))
        return EEntryKind::Link;
    return EEntryKind::Special;
}

std::string openFailure(int error) {
    return std::strerror(error);
}

} // namespace

std::size_t maxPathLength() {
    return PATH_MAX;
}

std::size_t pathLength(std::string_view path) {
    return path.size();
}

char pathSeparator() {
    return '/';
}

bool endsWithSeparator(std::string_view path) {
    return !path.empty() && path.back() == '/';
}

CDirectory::~CDirectory() {
    close();
}

bool CDirectory::open(const std::string& path) {
    close();
    if (adopt(::open(path.c_str(), kFolderFlags), nullptr))
        return true;
    // O_NOFOLLOW with O_DIRECTORY answers a link in the folder's place with ENOTDIR
    // or ELOOP: say what it is.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return fail("a symbolic link, not followed");
    return false;
}

bool CDirectory::openSub(const CDirectory& parent, const char* name) {
    close();
    if (!parent.isOpen())
        return fail(std::strerror(EBADF));
    return adopt(::openat(::dirfd(listing(parent.m_pHandle)), name, kFolderFlags), &parent);
}

bool CDirectory::fail(std::string reason) {
    m_strFailure = std::move(reason);
    return false;
}

bool CDirectory::adopt(int fd, const CDirectory* parent) {
    if (fd < 0)
        return fail(openFailure(errno));
    std::uint64_t device = 0;
    std::uint64_t mount = 0;
    bool accepted = false;
    struct statx stx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_TYPE | STATX_MNT_ID, &stx) == 0) {
        accepted = true;
        device = ::makedev(stx.stx_dev_major, stx.stx_dev_minor);
        if ((stx.stx_mask & STATX_MNT_ID) != 0)
            mount = stx.stx_mnt_id;
    } else if (struct stat st{}; ::fstat(fd, &st) == 0) { // kernels without statx
        accepted = true;
        device = st.st_dev;
    }
    if (!accepted) {
        const int error = errno;
        ::close(fd);
        return fail(std::strerror(error));
    }
    // Another device means another file system, another mount id a mount point of
    // the same one (a bind mount): the walk ends at both, as find -xdev does at the
    // first.
    if (parent && (device != parent->m_nDevice ||
                   (mount != 0 && parent->m_nMount != 0 && mount != parent->m_nMount))) {
        ::close(fd);
        return fail("another file system, not entered");
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        return fail(std::strerror(error));
    }
    m_pHandle = dir;
    m_nDevice = device;
    m_nMount = mount;
    return true;
}

void CDirectory::close() {
    if (m_pHandle) {
        ::closedir(listing(m_pHandle));
        m_pHandle = nullptr;
    }
}

bool CDirectory::next(SDirEntry& entry) {
    if (!m_pHandle)
        return false;
    const dirent* d = ::readdir(listing(m_pHandle));
    if (!d)
        return false;
    entry.name = d->d_name;
    entry.length = std::strlen(d->d_name);
    entry.kind = kindOfType(d->d_type);
    return true;
}

std::optional<SEntryInfo> CDirectory::stat(const char* name) const {
    if (!m_pHandle)
        return std::nullopt;
    struct stat st {};
    if (::fstatat(::dirfd(listing(m_pHandle)), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    SEntryInfo info;
    info.kind = kindOfMode(st.st_mode);
    info.modifiedUtc = st.st_mtim.tv_sec;
    info.size = static_cast<std::uint64_t>(st.st_size);
    // A link's own bits are always rwx and say nothing.
    info.readOnly = !S_ISLNK(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    // Only the target's type is looked at; the target is never opened.
    struct stat target {};
    info.linkToDirectory = S_ISLNK(st.st_mode) &&
                           ::fstatat(::dirfd(listing(m_pHandle)), name, &target, 0) == 0 &&
                           S_ISDIR(target.st_mode);
    return info;
}

bool CDirectory::remove(const char* name) const {
    // Without AT_REMOVEDIR a folder is refused, even one swapped in since the listing.
    return m_pHandle && ::unlinkat(::dirfd(listing(m_pHandle)), name, 0) == 0;
}

bool CDirectory::mayRemove(const char* name) const {
    if (!m_pHandle)
        return false;
    const int fd = ::dirfd(listing(m_pHandle));
    // Write and search permission on the folder, judged with this thread's
    // effective ids and capabilities; a read-only mount fails it too (EROFS).
    if (::faccessat(fd, ".", W_OK | X_OK, AT_EACCESS) != 0)
        return false;
    struct stat folder {};
    if (::fstat(fd, &folder) != 0)
        return false;
    if (!(folder.st_mode & S_ISVTX))
        return true;
    // A sticky folder (like /tmp) lets only the file's or the folder's owner
    // remove it, or a process that may override that (root).
    struct stat file {};
    if (::fstatat(fd, name, &file, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    const uid_t self = ::geteuid();
    return self == 0 || file.st_uid == self || folder.st_uid == self;
}

} // namespace MW::Platform
