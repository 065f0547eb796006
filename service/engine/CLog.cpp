#include "CLog.h"

#include "Files.h"
#include "Text.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

namespace MW {

CLog::~CLog() {
    std::lock_guard lock(m_mutex);
    closeLocked();
}

void CLog::open(const std::string& path) {
    std::lock_guard lock(m_mutex);
    closeLocked();
    m_strPath = path;
    openLocked(false);
}

void CLog::limitSize() {
    std::lock_guard lock(m_mutex);
    if (!m_pFile)
        return;
    std::fflush(m_pFile);
    struct stat st {};
    if (::fstat(::fileno(m_pFile), &st) != 0)
        return;
    m_nSize = st.st_size;
    if (m_nSize <= kMaxSize)
        return;
    closeLocked();
    openLocked(false);
}

void CLog::openLocked(bool full) {
    const auto size = static_cast<std::int64_t>(Platform::fileSize(m_strPath).value_or(0));
    // The previous content is kept once, beside the new log; should it not move, the
    // log is emptied as before rather than grow without end.
    const bool tooBig = full || size > kMaxSize;
    std::error_code error;
    if (tooBig)
        std::filesystem::rename(Platform::fsPath(m_strPath), Platform::fsPath(m_strPath + ".1"),
                                error);
    const bool moved = tooBig && !error;
    m_pFile = Platform::openTextFile(m_strPath, tooBig && !moved ? "w" : "a");
    m_nSize = tooBig ? 0 : size;
    if (m_pFile)
        std::setvbuf(m_pFile, nullptr, _IOFBF, 4096);
}

void CLog::write(std::string_view text) {
    std::string entry = Common::toLatin1(text);
    entry += '\n';
    // Counted as the text-mode stream stores it (CR LF on Windows), so the count
    // matches the file.
    static const auto kLineEndExtra =
        static_cast<std::int64_t>(Platform::textModeBytes("\n").size()) - 1;
    const std::int64_t bytes = static_cast<std::int64_t>(entry.size()) +
                               kLineEndExtra * std::count(entry.begin(), entry.end(), '\n');
    std::lock_guard lock(m_mutex);
    if (!m_pFile)
        return;
    // The entry would take the log past its size: it begins the next log instead.
    // (An entry larger than a whole log is still written, alone.)
    if (m_nSize > 0 && m_nSize + bytes > kMaxSize) {
        closeLocked();
        openLocked(true);
        if (!m_pFile)
            return;
    }
    std::fwrite(entry.data(), 1, entry.size(), m_pFile);
    m_nSize += bytes;
}

void CLog::flush() {
    std::lock_guard lock(m_mutex);
    if (m_pFile)
        std::fflush(m_pFile);
}

void CLog::close() {
    std::lock_guard lock(m_mutex);
    closeLocked();
}

bool CLog::isOpen() const {
    std::lock_guard lock(m_mutex);
    return m_pFile != nullptr;
}

std::string CLog::path() const {
    std::lock_guard lock(m_mutex);
    return m_strPath;
}

void CLog::closeLocked() {
    if (m_pFile) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
}

void logWrite(std::string_view text) {
    CLog::getInstance()->write(text);
}

} // namespace MW
