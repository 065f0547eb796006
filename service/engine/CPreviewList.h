#pragma once
// The findings of a preview, one line per file the next scan would touch:
// "ACTION TAB SIZE TAB PATH". ACTION is "delete", or why the scan would have to
// leave the file ("read-only", "in-use", "denied"); PATH is the path as found,
// with a backslash, control characters and bytes that are not UTF-8 escaped
// (\\, \n, \t, \xHH), so that every file is one line and every line is text.

#include "Preview.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace MW {

class CPreviewList {
public:
    static constexpr const char* kDelete = "delete";
    static constexpr const char* kReadOnly = "read-only";
    static constexpr const char* kInUse = "in-use";
    static constexpr const char* kDenied = "denied";

    CPreviewList() = default;
    ~CPreviewList();
    CPreviewList(const CPreviewList&) = delete;
    CPreviewList& operator=(const CPreviewList&) = delete;

    // Creates `path` for the owner (and `readerGroup`, when it names a group).
    bool open(const std::string& path, const std::string& readerGroup);
    void add(std::string_view action, std::uint64_t size, std::string_view path);
    // Closes the file; false when anything could not be written.
    bool close();

    const SPreviewTotals& totals() const { return m_totals; }

    static std::string escapePath(std::string_view path);

private:
    std::FILE* m_pFile = nullptr;
    bool m_bFailed = false;
    SPreviewTotals m_totals;
};

} // namespace MW
