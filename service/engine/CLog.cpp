#include "CLog.h"

#include "Files.h"
#include "Text.h"

namespace MW {

CLog::~CLog() {
    std::lock_guard lock(m_mutex);
    closeLocked();
}

void CLog::open(const std::string& path) {
    std::lock_guard lock(m_mutex);
    closeLocked();
    m_strPath = path;
    const auto size = static_cast<std::int64_t>(Platform::fileSize(path).value_or(0));
    m_pFile = Platform::openTextFile(path, size > kMaxSize ? "w" : "a");
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
