#pragma once
// The service's own life-cycle messages: to the systemd journal under the
// identifier mwservice, and also to standard output when not run as a service.

#include <string_view>

namespace MW::Host {

inline constexpr std::string_view kJournalStarted = "Service started/resumed";
inline constexpr std::string_view kJournalStopped = "Service stopped";
inline constexpr std::string_view kJournalNoHandler = "Handler not installed";
inline constexpr std::string_view kJournalBadRequest = "Bad service request";

class CJournal {
public:
    explicit CJournal(bool echo) : m_bEcho(echo) {}

    // An informational message, cut to 255 characters; echoed to standard output.
    void report(std::string_view text) const;
    // A remark for the journal only.
    void note(std::string_view text) const;
    // A failure; echoed to standard error.
    void error(std::string_view text) const;

private:
    bool m_bEcho;
};

} // namespace MW::Host
