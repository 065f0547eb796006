#include "FileReplace.h"

#include "Files.h"

#include <algorithm>
#include <atomic>
#include <string>
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

EReplaceResult replaceFile(const std::string& path, std::string_view content) {
    if (path.empty() || path.back() == '\\' || path.back() == '/')
        return EReplaceResult::cannotCreate;
    const std::wstring target = fsPath(path).wstring();
    const std::size_t slash = target.find_last_of(L"\\/");
    std::wstring directory = slash == std::wstring::npos ? L"." : target.substr(0, slash);
    if (slash != std::wstring::npos && (slash == 0 || target[slash - 1] == L':'))
        directory = target.substr(0, slash + 1); // a root keeps its separator

    // A file we may not write stays as it is, as it would with a plain rewrite.
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        return EReplaceResult::cannotCreate;

    // A short name beside the file, unique within this process and among processes.
    static std::atomic<unsigned> s_nCounter{0};
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring tempPath;
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        tempPath = directory;
        if (tempPath.back() != L'\\' && tempPath.back() != L'/')
            tempPath += L'\\';
        tempPath += L".mwtmp-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                    std::to_wstring(s_nCounter++);
        file = ::CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            return EReplaceResult::cannotCreate;
    }
    if (file == INVALID_HANDLE_VALUE)
        return EReplaceResult::cannotCreate;
    CTempFile temp(file, tempPath);

    if (!writeAll(temp.handle(), content) || !::FlushFileBuffers(temp.handle()) || !temp.close())
        return EReplaceResult::writeFailed;
    // ReplaceFile keeps the old file's security, attributes and creation time, as
    // the rewrite in place did; a new file is simply moved into place.
    bool replaced = exists && ::ReplaceFileW(target.c_str(), temp.path().c_str(), nullptr,
                                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    if (!replaced && (!exists || ::GetLastError() == ERROR_FILE_NOT_FOUND))
        replaced = ::MoveFileExW(temp.path().c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!replaced)
        return EReplaceResult::cannotCreate;
    temp.keep();
    return EReplaceResult::ok;
}

} // namespace MW::Platform
