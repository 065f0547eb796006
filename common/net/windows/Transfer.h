#pragma once
// One HTTP exchange at a time on WinHTTP's three handles (session, connection,
// request), opened synchronously. The body is read in the caller's pieces, so a
// large body never sits in memory whole. A watch thread closes the request when the
// exchange's time is up: closing the handle is how WinHTTP ends a blocking call that
// a trickling peer would otherwise keep alive past every receive time-out.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>
#include <windows.h>
#include <winhttp.h>

namespace Cxx::Network::Http::HttpClient::Detail {

class CTransfer {
public:
    CTransfer() = default;
    CTransfer(const CTransfer&) = delete;
    CTransfer& operator=(const CTransfer&) = delete;
    ~CTransfer();

    bool openSession(const std::wstring& userAgent, DWORD accessType, const std::wstring& proxy,
                     const std::wstring& bypass);
    bool connect(const std::wstring& host, INTERNET_PORT port);
    bool openRequest(const std::wstring& verb, const std::wstring& path);
    void closeRequest();
    void closeConnection();
    void closeSession();
    // The current request handle; null when none is open or the deadline closed it.
    HINTERNET request() const;

    // Bounds of the request just opened: connecting (name resolution included),
    // and silence while sending or receiving. The whole exchange ends at `deadline`.
    bool setBounds(std::chrono::milliseconds connect, std::chrono::milliseconds stall,
                   std::chrono::steady_clock::time_point deadline);

    // What the request sends, kept for the handshake's resends, and the check of the
    // server's certificate (none: WinHTTP's own verification alone).
    void setRequestData(std::wstring headers, std::string body);
    void setServerCheck(std::function<bool(HINTERNET)> check) { m_checkServer = std::move(check); }

    enum class ESent { ok, notSent, noResponse };
    // Sends the request's headers (the extra ones only the first time), lets the server
    // check look at the certificate before any body byte leaves (refused: notSent, and
    // nothing more goes out), writes the body and waits for the response headers.
    ESent exchange(bool withHeaders);

    // The status of the last response (0 when its status line has no three-digit code).
    long status() const { return m_status; }
    // The values of one header of the last response, name compared without case.
    std::vector<std::string> headerValues(std::string_view name) const;

    // Body reading, with the same shape as the libcurl build's transfer.
    bool active() const { return m_responded && request() != nullptr; }
    bool waitForData();
    std::size_t available() const { return m_pending.size() - m_offset; }
    std::size_t read(char* out, std::size_t size);
    // Reads the rest of the body and drops it, within the deadline.
    void discardBody();

private:
    ESent sendHeaders(bool withHeaders);
    ESent finishExchange();
    bool readHeaders();
    void startWatch(std::chrono::steady_clock::time_point deadline);
    bool pastDeadline() const { return std::chrono::steady_clock::now() >= m_deadline; }
    void stopWatch();

    HINTERNET m_session = nullptr;
    HINTERNET m_connection = nullptr;
    // Guarded by m_mutex: the watch thread may close it.
    HINTERNET m_request = nullptr;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_watch;
    bool m_stopWatch = false;
    std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::time_point::max();

    std::wstring m_extraHeaders;
    std::string m_body;
    std::function<bool(HINTERNET)> m_checkServer;

    bool m_responded = false;
    long m_status = 0;
    std::vector<std::pair<std::string, std::string>> m_headers;
    std::optional<std::uint64_t> m_contentLength;
    std::uint64_t m_received = 0;
    bool m_ended = false;
    bool m_failed = false;
    // Bytes read from WinHTTP that the caller has not taken yet; at most one read.
    std::string m_pending;
    std::size_t m_offset = 0;
};

} // namespace Cxx::Network::Http::HttpClient::Detail
