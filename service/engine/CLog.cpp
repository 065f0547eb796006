#include "CLog.h"

#include "Text.h"

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
    struct stat st {};
    const std::int64_t size = ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
    m_pFile = std::fopen(path.c_str(), size > kMaxSize ? "we" : "ae");
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
