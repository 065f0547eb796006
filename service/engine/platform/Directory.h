#pragma once
// One folder of the cleaning walk, worked on through its open handle: subfolders
// are opened, entries examined and files removed relative to it, so that a rename
// or a link elsewhere in the tree cannot steer the walk or a deletion out of the
// folder it started in.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace MW::Platform {

enum class EEntryKind : std::uint8_t {
    Directory,
    File,    // a regular file
    Link,    // a symbolic link, never followed
    Special, // a pipe, socket or device node
    Unknown, // the listing does not say; stat tells
};

struct SDirEntry {
    const char* name = nullptr; // valid until the next call of next()
    std::size_t length = 0;
    EEntryKind kind = EEntryKind::Unknown;
};

// What stat tells about an entry itself (a link is described, not its target).
struct SEntryInfo {
    EEntryKind kind = EEntryKind::Unknown;
    std::int64_t modifiedUtc = 0; // last write, whole seconds since the Unix epoch
    std::uint64_t size = 0;
    bool readOnly = false; // nobody may write it
    // A link whose target is a folder: a folder as far as the walk is concerned,
    // so it is neither entered nor removed.
    bool linkToDirectory = false;
};

// The longest path the platform accepts, in the units of pathLength.
std::size_t maxPathLength();
// The length of `path` as the platform counts it: bytes on Linux, UTF-16 units on
// Windows.
std::size_t pathLength(std::string_view path);
// The separator put between a folder's path and an entry's name, unless the path
// already ends with a separator.
char pathSeparator();
bool endsWithSeparator(std::string_view path);

class CDirectory {
public:
    CDirectory() = default;
    ~CDirectory();
    CDirectory(const CDirectory&) = delete;
    CDirectory& operator=(const CDirectory&) = delete;

    // Opens the folder at `path` for listing; a link as its last component is not
    // followed. False when it cannot be listed; failureReason() then says why.
    bool open(const std::string& path);
    // Opens the subfolder `name` of `parent`: never through a link, and only when it
    // lies on the same file system and mount as `parent` (a mount point, bind mounts
    // included, is not entered).
    bool openSub(const CDirectory& parent, const char* name);
    // Why the last open or openSub failed, in words for the log.
    const std::string& failureReason() const { return m_strFailure; }
    bool isOpen() const { return m_pHandle != nullptr; }
    void close();

    // The next entry in the order of the file system, "." and ".." included; false
    // at the end or on a listing error.
    bool next(SDirEntry& entry);

    // Describes the entry `name` without following a link; nothing when it is gone.
    std::optional<SEntryInfo> stat(const char* name) const;
    // Whether another process has the file `name` open or locked, as far as the
    // platform can tell (the limits are described with the implementation).
    bool isInUse(const char* name) const;
    // Removes the entry `name` (a file, a link or a special file, never a folder).
    bool remove(const char* name) const;
    // Whether remove(name) would be allowed, asked without trying: the folder's
    // permissions for this process, its sticky rule and a read-only mount.
    bool mayRemove(const char* name) const;

private:
    bool adopt(int handle, const CDirectory* parent);
    bool fail(std::string reason);

    void* m_pHandle = nullptr; // the platform's listing of the open folder
    std::uint64_t m_nDevice = 0;
    std::uint64_t m_nMount = 0; // 0 when the platform cannot tell
    std::string m_strFailure;
};

} // namespace MW::Platform
