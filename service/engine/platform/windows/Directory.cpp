// The cleaning walk on Windows. Each folder is held by an open handle; its
// entries are listed, examined, opened and deleted relative to that handle
// (NtCreateFile with a root directory), so that renaming or replacing a folder
// elsewhere in the tree cannot steer the walk. A reparse point (junction,
// symbolic link, mount point) is never entered or followed: it is opened as
// itself and, when old enough and of a listed type, deleted as itself. The walk
// stays on the volume of its root folder. A file that another program holds open
// without delete sharing cannot be opened for deletion: that sharing violation
// is the in-use test.
//
// Wine shows a Linux symbolic link to a folder as a reparse point only in listings
// and by path, and a link to a file not at all; a handle opened on either is the
// target's, and deleting through it would delete the target. So every handle
// opened on an entry is checked to be that entry itself: its final path must be
// the folder's plus the entry's name. On Windows this always holds for a handle
// opened with FILE_OPEN_REPARSE_POINT.

#include "Directory.h"

#include "Text.h"

#include <memory>
#include <string>
#include <system_error>
#include <windows.h>
#include <winternl.h>

// Not declared by mingw-w64's winternl.h; exported by ntdll since NT 3.1.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE FileHandle, HANDLE Event, PVOID ApcRoutine,
                                               PVOID ApcContext, PIO_STATUS_BLOCK IoStatusBlock,
                                               PVOID FileInformation, ULONG Length,
                                               FILE_INFORMATION_CLASS FileInformationClass,
                                               BOOLEAN ReturnSingleEntry, PUNICODE_STRING FileName,
                                               BOOLEAN RestartScan);

namespace MW::Platform {
namespace {

constexpr NTSTATUS kSharingViolation = static_cast<NTSTATUS>(0xC0000043L);
constexpr FILE_INFORMATION_CLASS kFullDirectoryInformation = static_cast<FILE_INFORMATION_CLASS>(2);
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Never through a reparse point; with backup intent so that an administrator's
// service may list what its privileges allow.
constexpr ULONG kOpenOptions =
    FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT;
constexpr ULONG kListingBytes = 64 * 1024;

// FILE_FULL_DIR_INFORMATION, as NtQueryDirectoryFile returns it.
struct SFullDirInfo {
    ULONG NextEntryOffset;
    ULONG FileIndex;
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    LARGE_INTEGER EndOfFile;
    LARGE_INTEGER AllocationSize;
    ULONG FileAttributes;
    ULONG FileNameLength; // bytes
    ULONG EaSize;
    WCHAR FileName[1];
};

// The open folder: its handle, the listing buffer and the entry last returned.
struct SFolder {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::unique_ptr<LONGLONG[]> buffer{new LONGLONG[kListingBytes / sizeof(LONGLONG)]};
    const SFullDirInfo* entry = nullptr; // within buffer; null: fetch more
    bool restart = true;
    bool ended = false;
    std::string name;       // the entry's name as handed out, UTF-8
    std::wstring wideName;  // and as listed, so that it is used exactly when handed back
    std::wstring finalPath; // the folder's own path with a trailing separator; empty if unknown
};

SFolder* folderOf(void* handle) {
    return static_cast<SFolder*>(handle);
}

EEntryKind kindOfAttributes(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return EEntryKind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return EEntryKind::Directory;
    return EEntryKind::File;
}

std::wstring toWide(std::string_view utf8) {
    const std::u16string units = Common::utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

// Seconds since the Unix epoch, rounded down, of a FILETIME value.
std::int64_t unixSeconds(std::int64_t fileTime) {
    constexpr std::int64_t kEpochDifference = 116444736000000000LL;
    const std::int64_t units = fileTime - kEpochDifference;
    const std::int64_t seconds = units / 10000000LL;
    return (units % 10000000LL != 0 && units < 0) ? seconds - 1 : seconds;
}

// Opens `name` relative to the folder handle `parent`.
NTSTATUS openRelative(HANDLE parent, const std::wstring& name, ACCESS_MASK access, ULONG options,
                      HANDLE& result) {
    result = INVALID_HANDLE_VALUE;
    if (name.empty() || name.size() > 32767)
        return static_cast<NTSTATUS>(0xC0000033L); // STATUS_OBJECT_NAME_INVALID
    UNICODE_STRING unicodeName;
    unicodeName.Buffer = const_cast<PWSTR>(name.c_str());
    unicodeName.Length = static_cast<USHORT>(name.size() * sizeof(WCHAR));
    unicodeName.MaximumLength = unicodeName.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &unicodeName, OBJ_CASE_INSENSITIVE, parent, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE opened = nullptr;
    const NTSTATUS status =
        ::NtCreateFile(&opened, access | SYNCHRONIZE, &attributes, &io, nullptr, 0, kShareAll,
                       FILE_OPEN, options | kOpenOptions, nullptr, 0);
    if (NT_SUCCESS(status))
        result = opened;
    return status;
}

bool describe(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    return ::GetFileInformationByHandle(file, &info) != 0;
}

std::wstring finalPathOf(HANDLE file) {
    std::wstring path(512, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length =
            ::GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), 0);
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length + 1);
    }
    return {};
}

// Whether `file`, opened as the entry `name` of `folder`, is that entry and not
// what a link points to.
bool isEntryItself(const std::wstring& folderPath, HANDLE file, const std::wstring& name) {
    if (folderPath.empty())
        return true; // nothing to compare with: trust the open, as Windows may
    const std::wstring path = finalPathOf(file);
    const std::wstring expected = folderPath + name;
    return !path.empty() &&
           ::CompareStringOrdinal(path.c_str(), static_cast<int>(path.size()), expected.c_str(),
                                  static_cast<int>(expected.size()), TRUE) == CSTR_EQUAL;
}

// Why a folder could not be opened, in the words of the system's messages.
std::string openFailure(NTSTATUS status) {
    const DWORD error = ::RtlNtStatusToDosError(status);
    return std::system_category().message(static_cast<int>(error));
}

} // namespace

std::size_t maxPathLength() {
    return MAX_PATH;
}

std::size_t pathLength(std::string_view path) {
    return Common::utf8ToUtf16(path).size();
}

char pathSeparator() {
    return '\\';
}

bool endsWithSeparator(std::string_view path) {
    return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

CDirectory::~CDirectory() {
    close();
}

namespace {

// Takes `handle` as the folder to list when it is a folder, not a reparse point,
// and (with a parent) on the parent's volume. Closes it otherwise.
SFolder* acceptFolder(HANDLE handle, const std::uint64_t* parentVolume, std::uint64_t& volume) {
    BY_HANDLE_FILE_INFORMATION info{};
    const bool accepted = describe(handle, info) &&
                          (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                          (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
                          (!parentVolume || *parentVolume == info.dwVolumeSerialNumber);
    if (!accepted) {
        ::CloseHandle(handle);
        return nullptr;
    }
    volume = info.dwVolumeSerialNumber;
    auto* folder = new SFolder;
    folder->handle = handle;
    folder->finalPath = finalPathOf(handle);
    if (!folder->finalPath.empty() && folder->finalPath.back() != L'\\')
        folder->finalPath += L'\\';
    return folder;
}

} // namespace

bool CDirectory::open(const std::string& path) {
    close();
    // The root itself is opened by path; a reparse point as its last component is
    // opened as itself and then refused. Asked by path first, for Wine's sake.
    const std::wstring wide = toWide(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return fail(std::system_category().message(static_cast<int>(::GetLastError())));
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return fail("a symbolic link, not followed");
    const HANDLE handle = ::CreateFileW(
        wide.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return fail(std::system_category().message(static_cast<int>(::GetLastError())));
    m_pHandle = acceptFolder(handle, nullptr, m_nDevice);
    m_nMount = 0;
    return m_pHandle != nullptr || fail("not a folder");
}

bool CDirectory::openSub(const CDirectory& parent, const char* name) {
    close();
    if (!parent.isOpen())
        return fail(std::system_category().message(ERROR_INVALID_HANDLE));
    const SFolder* from = folderOf(parent.m_pHandle);
    const std::wstring wide = name == from->name.c_str() ? from->wideName : toWide(name);
    HANDLE handle = INVALID_HANDLE_VALUE;
    const NTSTATUS status =
        openRelative(from->handle, wide, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                     FILE_DIRECTORY_FILE, handle);
    if (!NT_SUCCESS(status))
        return fail(openFailure(status));
    if (!isEntryItself(from->finalPath, handle, wide)) {
        ::CloseHandle(handle);
        return fail("a symbolic link, not followed");
    }
    m_pHandle = acceptFolder(handle, &parent.m_nDevice, m_nDevice);
    m_nMount = 0;
    // Refused: a reparse point (a junction, a link, a mount point) or another volume.
    return m_pHandle != nullptr || fail("a link or another volume, not entered");
}

bool CDirectory::fail(std::string reason) {
    m_strFailure = std::move(reason);
    return false;
}

void CDirectory::close() {
    if (m_pHandle) {
        SFolder* folder = folderOf(m_pHandle);
        ::CloseHandle(folder->handle);
        delete folder;
        m_pHandle = nullptr;
    }
}

bool CDirectory::next(SDirEntry& entry) {
    if (!m_pHandle)
        return false;
    SFolder& folder = *folderOf(m_pHandle);
    if (folder.entry && folder.entry->NextEntryOffset != 0) {
        folder.entry = reinterpret_cast<const SFullDirInfo*>(
            reinterpret_cast<const char*>(folder.entry) + folder.entry->NextEntryOffset);
    } else {
        if (folder.ended)
            return false;
        IO_STATUS_BLOCK io{};
        const NTSTATUS status = ::NtQueryDirectoryFile(
            folder.handle, nullptr, nullptr, nullptr, &io, folder.buffer.get(), kListingBytes,
            kFullDirectoryInformation, FALSE, nullptr, folder.restart ? TRUE : FALSE);
        folder.restart = false;
        // STATUS_NO_MORE_FILES ends the listing; so does any error.
        if (!NT_SUCCESS(status) || io.Information == 0) {
            folder.ended = true;
            folder.entry = nullptr;
            return false;
        }
        folder.entry = reinterpret_cast<const SFullDirInfo*>(folder.buffer.get());
    }
    const SFullDirInfo& info = *folder.entry;
    folder.wideName.assign(info.FileName, info.FileNameLength / sizeof(WCHAR));
    folder.name = Common::utf16ToUtf8(std::u16string_view(
        reinterpret_cast<const char16_t*>(folder.wideName.data()), folder.wideName.size()));
    entry.name = folder.name.c_str();
    entry.length = folder.name.size();
    entry.kind = kindOfAttributes(info.FileAttributes);
    return true;
}

std::optional<SEntryInfo> CDirectory::stat(const char* name) const {
    if (!m_pHandle)
        return std::nullopt;
    const SFolder& folder = *folderOf(m_pHandle);
    const std::wstring wide = name == folder.name.c_str() ? folder.wideName : toWide(name);
    HANDLE file = INVALID_HANDLE_VALUE;
    if (!NT_SUCCESS(openRelative(folder.handle, wide, FILE_READ_ATTRIBUTES, 0, file)))
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = describe(file, info);
    const bool itself = isEntryItself(folder.finalPath, file, wide);
    ::CloseHandle(file);
    if (!known)
        return std::nullopt;
    SEntryInfo result;
    // A link the platform followed anyway is still a link (its target described).
    result.kind = itself ? kindOfAttributes(info.dwFileAttributes) : EEntryKind::Link;
    result.modifiedUtc = unixSeconds(static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
        info.ftLastWriteTime.dwLowDateTime));
    result.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    result.readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    // A junction or a link to a folder; followed anyway, the handle is the folder.
    result.linkToDirectory =
        result.kind == EEntryKind::Link && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return result;
}

bool CDirectory::isInUse(const char* name) const {
    if (!m_pHandle)
        return false;
    const SFolder& folder = *folderOf(m_pHandle);
    const std::wstring wide = name == folder.name.c_str() ? folder.wideName : toWide(name);
    HANDLE file = INVALID_HANDLE_VALUE;
    // Opening for deletion fails with a sharing violation exactly while another
    // handle is open without FILE_SHARE_DELETE: the case in which DeleteFile fails.
    const NTSTATUS status = openRelative(folder.handle, wide, DELETE | FILE_READ_ATTRIBUTES,
                                         FILE_NON_DIRECTORY_FILE, file);
    if (NT_SUCCESS(status))
        ::CloseHandle(file);
    return status == kSharingViolation;
}

bool CDirectory::remove(const char* name) const {
    if (!m_pHandle)
        return false;
    const SFolder& folder = *folderOf(m_pHandle);
    const std::wstring wide = name == folder.name.c_str() ? folder.wideName : toWide(name);
    HANDLE file = INVALID_HANDLE_VALUE;
    if (!NT_SUCCESS(openRelative(folder.handle, wide, DELETE | FILE_READ_ATTRIBUTES, 0, file)))
        return false;
    // Deleted through the handle just opened, so it is certainly the entry checked
    // here: never a folder (a folder swapped in since the listing included), but a
    // reparse point to one, which goes as itself.
    BY_HANDLE_FILE_INFORMATION info{};
    bool removed = isEntryItself(folder.finalPath, file, wide) && describe(file, info) &&
                   ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
                    (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0);
    if (removed) {
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        removed = ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                               sizeof disposition) != 0;
    }
    ::CloseHandle(file);
    return removed;
}

bool CDirectory::mayRemove(const char* name) const {
    if (!m_pHandle)
        return false;
    const SFolder& folder = *folderOf(m_pHandle);
    const std::wstring wide = name == folder.name.c_str() ? folder.wideName : toWide(name);
    // Opening for deletion asks the file's and the folder's security, as remove()
    // would, without deleting anything; a file held open is not refused here.
    HANDLE file = INVALID_HANDLE_VALUE;
    const NTSTATUS status =
        openRelative(folder.handle, wide, DELETE | FILE_READ_ATTRIBUTES, 0, file);
    if (!NT_SUCCESS(status))
        return status == kSharingViolation;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool allowed =
        describe(file, info) && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0;
    ::CloseHandle(file);
    return allowed;
}

} // namespace MW::Platform
