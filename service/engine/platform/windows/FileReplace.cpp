#include "FileReplace.h"

#include "Files.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <system_error>
#include <windows.h>

namespace MW::Platform {
namespace {

// Closes the handle and removes the temporary file unless released.
class CTempFile {
public:
    CTempFile(HANDLE file, std::wstring path) : m_hFile(file), m_strPath(std::move(path)) {}
    ~CTempFile() {
        close();
        if (!m_strPath.empty())
            ::DeleteFileW(m_strPath.c_str());
    }
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;

    HANDLE handle() const { return m_hFile; }
    const std::wstring& path() const { return m_strPath; }
    bool close() {
        const HANDLE file = m_hFile;
        m_hFile = INVALID_HANDLE_VALUE;
        return file == INVALID_HANDLE_VALUE || ::CloseHandle(file) != 0;
    }
    void keep() { m_strPath.clear(); }

private:
    HANDLE m_hFile;
    std::wstring m_strPath;
};

// Temporary files are named ".mwtmp-<process id>-<counter>", as on Linux.
constexpr std::wstring_view kTempPrefix = L".mwtmp-";

SReplaceResult failed(EReplaceResult result, DWORD error) {
    return {result, std::error_code(static_cast<int>(error), std::system_category())};
}

bool writeAll(HANDLE file, std::string_view content) {
    while (!content.empty()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, content.data(), chunk, &written, nullptr) || written == 0)
            return false;
        content.remove_prefix(written);
    }
    return true;
}

} // namespace

// newFileMode has no counterpart here: a new file takes the security its folder
// passes on, which is how Windows grants access to a folder's files.
SReplaceResult replaceFile(const std::string& path, std::string_view content, int /*newFileMode*/) {
    if (path.empty() || path.back() == '\\' || path.back() == '/')
        return failed(EReplaceResult::cannotCreate, ERROR_DIRECTORY);
    const std::wstring target = fsPath(path).wstring();
    const std::size_t slash = target.find_last_of(L"\\/");
    std::wstring directory = slash == std::wstring::npos ? L"." : target.substr(0, slash);
    if (slash != std::wstring::npos && (slash == 0 || target[slash - 1] == L':'))
        directory = target.substr(0, slash + 1); // a root keeps its separator

    // A file we may not write stays as it is, as it would with a plain rewrite.
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return failed(EReplaceResult::cannotCreate, ERROR_DIRECTORY);
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return failed(EReplaceResult::cannotCreate, ERROR_ACCESS_DENIED);

    // A short name beside the file, unique within this process and among processes.
    static std::atomic<unsigned> s_nCounter{0};
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring tempPath;
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        tempPath = directory;
        if (tempPath.back() != L'\\' && tempPath.back() != L'/')
            tempPath += L'\\';
        tempPath += std::wstring(kTempPrefix) + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                    std::to_wstring(s_nCounter++);
        file = ::CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            return failed(EReplaceResult::cannotCreate, ::GetLastError());
    }
    if (file == INVALID_HANDLE_VALUE)
        return failed(EReplaceResult::cannotCreate, ERROR_FILE_EXISTS);
    CTempFile temp(file, tempPath);

    if (!writeAll(temp.handle(), content) || !::FlushFileBuffers(temp.handle()) || !temp.close())
        return failed(EReplaceResult::writeFailed, ::GetLastError());
    // ReplaceFile keeps the old file's security, attributes and creation time, as
    // the rewrite in place did; a new file is simply moved into place.
    bool replaced = exists && ::ReplaceFileW(target.c_str(), temp.path().c_str(), nullptr,
                                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    if (!replaced && (!exists || ::GetLastError() == ERROR_FILE_NOT_FOUND))
        replaced = ::MoveFileExW(temp.path().c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!replaced)
        return failed(EReplaceResult::cannotCreate, ::GetLastError());
    temp.keep();
    return {};
}

namespace {

// The process id in ".mwtmp-<pid>-<n>" (digits only); 0 when the name is not ours.
DWORD tempFileOwner(std::wstring_view name) {
    if (!name.starts_with(kTempPrefix))
        return 0;
    const std::wstring_view rest = name.substr(kTempPrefix.size());
    const std::size_t dash = rest.find(L'-');
    if (dash == 0 || dash == std::wstring_view::npos || dash + 1 == rest.size() || dash > 9 ||
        rest.find_first_not_of(L"0123456789-") != std::wstring_view::npos ||
        rest.find(L'-', dash + 1) != std::wstring_view::npos)
        return 0;
    return static_cast<DWORD>(std::stoul(std::wstring(rest.substr(0, dash))));
}

bool isRunning(DWORD pid) {
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process)
        // Not ours to open: it exists; no such process: it does not.
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return running;
}

} // namespace

std::size_t removeStaleTempFiles(const std::string& directory) {
    std::wstring folder = fsPath(directory).wstring();
    if (folder.empty())
        return 0;
    if (folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    WIN32_FIND_DATAW found{};
    const HANDLE search =
        ::FindFirstFileExW((folder + std::wstring(kTempPrefix) + L"*").c_str(), FindExInfoBasic,
                           &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    std::size_t removed = 0;
    const DWORD self = ::GetCurrentProcessId();
    do {
        const DWORD pid = tempFileOwner(found.cFileName);
        // A running process may be saving right now; our own saves are not.
        if (pid == 0 || (pid != self && isRunning(pid)))
            continue;
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
                0 &&
            ::DeleteFileW((folder + found.cFileName).c_str()))
            ++removed;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return removed;
}

} // namespace MW::Platform
