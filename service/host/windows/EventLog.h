#pragma once
// The service's own life-cycle messages, to the Windows event log under the
// source named like the service: informational events (category 0, event id 0,
// one insertion string of at most 255 characters). When the program does not
// run as a service the same text also goes to standard output (failures to
// standard error), or to the echo a test installs.

#include <functional>
#include <string>
#include <string_view>

namespace MW::Host {

class CEventLog {
public:
    using Echo = std::function<void(std::string_view)>;

    explicit CEventLog(std::wstring source) : m_strSource(std::move(source)) {}

    // Whether to echo (not as a service); `echo` replaces the standard streams.
    void setEcho(bool on, Echo echo = nullptr);

    // An informational event: "Service started/resumed", "Service stopped",
    // "Handler not installed", "Bad service request".
    void report(std::string_view text) const;
    // A failure the messages above do not cover (an error event).
    void error(std::string_view text) const;

private:
    void send(std::string_view text, unsigned short type, bool failure) const;

    std::wstring m_strSource;
    bool m_bEcho = false;
    Echo m_fnEcho;
};

} // namespace MW::Host
