#include "EventLog.h"

#include "ComSupport.h"

#include <cstdio>
#include <windows.h>

namespace MW::Host {
namespace {

constexpr std::size_t kMaxMessage = 255;

} // namespace

void CEventLog::setEcho(bool on, Echo echo) {
    m_bEcho = on;
    m_fnEcho = std::move(echo);
}

void CEventLog::report(std::string_view text) const {
    send(text, EVENTLOG_INFORMATION_TYPE, false);
}

void CEventLog::error(std::string_view text) const {
    send(text, EVENTLOG_ERROR_TYPE, true);
}

void CEventLog::send(std::string_view text, unsigned short type, bool failure) const {
    std::wstring message = COM::widen(text);
    if (message.size() > kMaxMessage)
        message.resize(kMaxMessage);
    if (const HANDLE source = ::RegisterEventSourceW(nullptr, m_strSource.c_str())) {
        const wchar_t* strings[] = {message.c_str()};
        ::ReportEventW(source, type, 0, 0, nullptr, 1, 0, strings, nullptr);
        ::DeregisterEventSource(source);
    }
    if (!m_bEcho)
        return;
    const std::string shown = COM::narrow(message);
    if (m_fnEcho) {
        m_fnEcho(shown);
        return;
    }
    std::FILE* stream = failure ? stderr : stdout;
    std::fprintf(stream, "%s\n", shown.c_str());
    std::fflush(stream);
}

} // namespace MW::Host
