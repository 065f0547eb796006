#include "CLog.h"

#include "Files.h"
#include "Text.h"

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
    openLocked();
}

void CLog::limitSize() {
    std::lock_guard lock(m_mutex);
    if (!m_pFile)
        return;
    std::fflush(m_pFile);
    struct stat st {};
    if (::fstat(::fileno(m_pFile), &st) != 0 || st.st_size <= kMaxSize)
        return;
    closeLocked();
    openLocked();
}

void CLog::openLocked() {
    const auto size = static_cast<std::int64_t>(Platform::fileSize(m_strPath).value_or(0));
    // The previous content is kept once, beside the new log; should it not move, the
    // log is emptied as before rather than grow without end.
    const bool tooBig = size > kMaxSize;
    std::error_code error;
    if (tooBig)
        std::filesystem::rename(Platform::fsPath(m_strPath), Platform::fsPath(m_strPath + ".1"),
                                error);
    const bool moved = tooBig && !error;
    m_pFile = Platform::openTextFile(m_strPath, tooBig && !moved ? "w" : "a");
    if (m_pFile)
        std::setvbuf(m_pFile, nullptr, _IOFBF, 4096);
}

void CLog::write(std::string_view text) {
    std::string entry = Common::toLatin1(text);
    entry += '\n';
    std::lock_guard lock(m_mutex);
    if (m_pFile)
        std::fwrite(entry.data(), 1, entry.size(), m_pFile);
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
