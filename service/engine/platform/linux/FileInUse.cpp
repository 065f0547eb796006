// Whether another process uses a file: the nearest Linux comes to Windows refusing
// to delete a file that a program holds open (a drawing's lock file must survive
// while the drawing is open, or two people could edit it at once).
//
// Two tests, on a descriptor of our own opened read-only, without following a link
// and without blocking:
// 1. A write lease (F_SETLEASE, F_WRLCK) is granted only while no other descriptor
//    on the file is open anywhere on this machine, for reading or for writing, and
//    while it is not running as a program. A refused lease means "in use". The
//    lease is given back at once, before the caller deletes the file.
// 2. Where no lease can be had, a lock probe (F_OFD_GETLK for a write lock over
//    the whole file) reports any POSIX or open-file-description lock. On a network
//    file system the probe is answered by the server, so it also sees lock holders
//    on other machines. (A granted lease makes the probe pointless: a lock cannot
//    be held without an open descriptor.)
// Opening the file fails with EWOULDBLOCK while another process (a file server,
// for example) holds a lease on it: that too means "in use".
//
// Limits:
// - Leases only know this machine's descriptors. On NFS, SMB or FUSE a program on
//   another machine that keeps the file open without locking it is not seen.
// - A lease needs the caller to own the file or to hold CAP_LEASE. Without either
//   (the service running as a user, on another user's file) only the probe is left;
//   the same holds on file systems that grant no leases.
// - flock() locks are invisible to the probe on a local file system; their holders
//   keep the file open, which the lease sees.
// - A program that opens, reads and closes its file without keeping it open is seen
//   only while it has it open; and a program may open the file in the few system
//   calls between this test and the deletion.
// - A file we cannot open at all (no read permission for a service running as a
//   user) cannot be tested and counts as not in use.

#include "Directory.h"

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace MW::Platform {
namespace {

// A lease broken while we hold it signals its holder, and SIGIO would end the
// process. The kernel discards SIGURG when nobody handles it, and we give the
// lease back within microseconds anyway.
constexpr int kLeaseBreakSignal = SIGURG;

bool isLocked(int fd) {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0; // to the end of the file
    return ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

} // namespace

bool CDirectory::isInUse(const char* name) const {
    if (!m_pHandle)
        return false;
    const int folder = ::dirfd(static_cast<DIR*>(m_pHandle));
    const int fd =
        ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == EWOULDBLOCK;

    bool inUse = false;
    ::fcntl(fd, F_SETSIG, kLeaseBreakSignal);
    if (::fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
        // Granted: nobody else has it open, and a lock cannot be held without that.
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
    } else {
        inUse = errno == EAGAIN || isLocked(fd);
    }
    ::close(fd);
    return inUse;
}

} // namespace MW::Platform
