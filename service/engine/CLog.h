#pragma once

#include "CSingleton.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace MW {

// The service log: one entry per write, each followed by a line feed, written as
// ISO 8859-1 through a 4 KiB buffer. Entries written while closed are dropped. A
// log past kMaxSize is moved aside to "<path>.1" (replacing the one before) and
// started afresh: at open, whenever limitSize() finds it past the size, and before
// an entry that would take it past the size, so a long scan cannot grow it
// without end.
class CLog : public Common::CSingleton<CLog> {
public:
    static constexpr std::int64_t kMaxSize = 20971520; // 20 MiB

    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;
    virtual ~CLog();

    // Appends to the file at `path`, or starts a new one when it is larger than
    // kMaxSize. A failure leaves the log closed.
    void open(const std::string& path);
    // Applies the size rule to the open log as it is on disk, with what others may
    // have appended (the cleaner calls it before each scan).
    void limitSize();
    void write(std::string_view text);
    // Pushes buffered entries to the file.
    void flush();
    void close();
    bool isOpen() const;
    std::string path() const;

private:
    friend class Common::CSingleton<CLog>;
    CLog() = default;

    void closeLocked();
    // Opens the log at its path; with `full`, or when the file is past kMaxSize, the
    // file is first moved aside and a new log begins.
    void openLocked(bool full);

    mutable std::mutex m_mutex;
    std::string m_strPath;
    std::FILE* m_pFile = nullptr;
    // The file's size with what this log wrote to it, buffered entries included.
    std::int64_t m_nSize = 0;
};

// Shorthand for CSingleton<CLog>::getInstance()->write(text).
void logWrite(std::string_view text);

} // namespace MW
