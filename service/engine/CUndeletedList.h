#pragma once
// The list of the files a scan could not delete (the settings' UndeletedLog): one
// lowered path a line, as ISO 8859-1, holding the latest scan only. Clients read it
// to show what was left behind.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace MW {

class CUndeletedList {
public:
    CUndeletedList() = default;
    ~CUndeletedList();
    CUndeletedList(const CUndeletedList&) = delete;
    CUndeletedList& operator=(const CUndeletedList&) = delete;

    // Truncates and opens the list at `path` and starts counting from 0. Without a
    // list (an empty path, or a file that cannot be made) the scan goes on: add()
    // then does nothing and counts nothing.
    void open(const std::string& path);
    // Appends one path when the list is open, and counts it.
    void add(std::string_view path);
    // Closes the list; returns how many paths it took since open().
    std::int32_t close();

private:
    std::FILE* m_pFile = nullptr;
    std::int32_t m_nCount = 0;
};

} // namespace MW
