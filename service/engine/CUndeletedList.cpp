#include "CUndeletedList.h"

#include "Files.h"
#include "Text.h"

namespace MW {

CUndeletedList::~CUndeletedList() {
    close();
}

void CUndeletedList::open(const std::string& path) {
    close();
    if (!path.empty())
        m_pFile = Platform::openTextFile(path, "w");
}

void CUndeletedList::add(std::string_view path) {
    if (!m_pFile)
        return;
    // A control character in a name would split it over two lines.
    std::string line = Common::toLatin1(Common::withControlsMarked(path));
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), m_pFile);
    ++m_nCount;
}

std::int32_t CUndeletedList::close() {
    const std::int32_t count = m_nCount;
    m_nCount = 0;
    if (m_pFile) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
    return count;
}

} // namespace MW
