#include "Journal.h"

#include <cstdio>
#include <string>
#include <syslog.h>
#include <systemd/sd-journal.h>

namespace MW::Host {
namespace {

constexpr std::size_t kMaxMessage = 255;

void send(std::string_view text, int priority, std::FILE* echo) {
    const std::string message(text.substr(0, kMaxMessage));
    // Without a journal (containers) the call fails; the message then only goes
    // to the echo, if any.
    sd_journal_send("MESSAGE=%s", message.c_str(), "PRIORITY=%i", priority,
                    "SYSLOG_IDENTIFIER=mwservice", nullptr);
    if (echo) {
        std::fprintf(echo, "%s\n", message.c_str());
        std::fflush(echo);
    }
}

} // namespace

void CJournal::report(std::string_view text) const {
    send(text, LOG_INFO, m_bEcho ? stdout : nullptr);
}

void CJournal::note(std::string_view text) const {
    send(text, LOG_NOTICE, nullptr);
}

void CJournal::error(std::string_view text) const {
    send(text, LOG_ERR, m_bEcho ? stderr : nullptr);
}

} // namespace MW::Host
