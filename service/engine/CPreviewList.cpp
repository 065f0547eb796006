#include "CPreviewList.h"

#include "PrivateFile.h"

#include <array>

namespace MW {
namespace {

// The length of the valid UTF-8 sequence at `pos`, or 0.
std::size_t utf8Length(std::string_view text, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    std::size_t length = 0;
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
    } else {
        return 0;
    }
    if (pos + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

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
        } else if (const std::size_t length = utf8Length(path, pos); length > 0) {
            out.append(path.substr(pos, length));
            pos += length;
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
