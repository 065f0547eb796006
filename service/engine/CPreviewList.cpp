#include "CPreviewList.h"

#include "PrivateFile.h"
#include "Text.h"

#include <array>

namespace MW {

CPreviewList::~CPreviewList() {
    if (m_pFile)
        std::fclose(m_pFile);
}

bool CPreviewList::open(const std::string& path, const std::string& readerGroup) {
    m_pFile = Platform::createPrivateFile(path, readerGroup);
    m_totals = {};
    m_totals.file = path;
    m_bFailed = m_pFile == nullptr;
    return !m_bFailed;
}

void CPreviewList::add(std::string_view action, std::uint64_t size, std::string_view path) {
    if (action == kDelete) {
        ++m_totals.filesToDelete;
        m_totals.bytesToDelete += size;
    } else {
        ++m_totals.filesToKeep;
        m_totals.bytesToKeep += size;
    }
    if (!m_pFile)
        return;
    std::string line(action);
    line += '\t';
    line += std::to_string(size);
    line += '\t';
    line += escapePath(path);
    line += '\n';
    if (std::fwrite(line.data(), 1, line.size(), m_pFile) != line.size())
        m_bFailed = true;
}

bool CPreviewList::close() {
    if (m_pFile) {
        m_bFailed = std::fclose(m_pFile) != 0 || m_bFailed;
        m_pFile = nullptr;
    }
    return !m_bFailed;
}

std::string CPreviewList::escapePath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t pos = 0; pos < path.size();) {
        const auto c = static_cast<unsigned char>(path[pos]);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::array<char, 5> hex{};
            std::snprintf(hex.data(), hex.size(), "\\x%02x", c);
            out += hex.data();
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (std::size_t next = pos; Common::decodeUtf8(path, next)) {
            out.append(path.substr(pos, next - pos));
            pos = next;
            continue;
        } else {
            std::array<char, 5> hex{};
            std::snprintf(hex.data(), hex.size(), "\\x%02x", c);
            out += hex.data();
        }
        ++pos;
    }
    return out;
}

} // namespace MW
