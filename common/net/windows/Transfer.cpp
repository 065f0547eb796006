#include "Transfer.h"

#include "ResponseHeaders.h"
#include "Text.h"

#include <algorithm>
#include <cstring>

namespace Cxx::Network::Http::HttpClient::Detail {
namespace {

// One WinHttpReadData at most this large: the memory a body costs while it is read.
constexpr DWORD kReadSize = 64 * 1024;

int clampMs(std::chrono::milliseconds value) {
    const auto count = value.count();
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(count, 1, 0x7FFFFFFF));
}

std::string narrow(const wchar_t* text, std::size_t length) {
    return MW::Common::utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

} // namespace

CTransfer::~CTransfer() {
    closeSession();
}

bool CTransfer::openSession(const std::wstring& userAgent, DWORD accessType,
                            const std::wstring& proxy, const std::wstring& bypass) {
    closeSession();
    m_session = ::WinHttpOpen(userAgent.c_str(), accessType,
                              proxy.empty() ? WINHTTP_NO_PROXY_NAME : proxy.c_str(),
                              bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : bypass.c_str(), 0);
    return m_session != nullptr;
}

bool CTransfer::connect(const std::wstring& host, INTERNET_PORT port) {
    closeConnection();
    if (!m_session)
        return false;
    m_connection = ::WinHttpConnect(m_session, host.c_str(), port, 0);
    return m_connection != nullptr;
}

bool CTransfer::openRequest(const std::wstring& verb, const std::wstring& path) {
    closeRequest();
    if (!m_connection)
        return false;
    const HINTERNET request =
        ::WinHttpOpenRequest(m_connection, verb.c_str(), path.c_str(), nullptr,
                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
    const std::lock_guard lock(m_mutex);
    m_request = request;
    return m_request != nullptr;
}

void CTransfer::closeRequest() {
    stopWatch();
    {
        const std::lock_guard lock(m_mutex);
        if (m_request)
            ::WinHttpCloseHandle(m_request);
        m_request = nullptr;
    }
    m_responded = false;
    m_status = 0;
    m_headers.clear();
    m_contentLength.reset();
    m_received = 0;
    m_ended = false;
    m_failed = false;
    m_pending.clear();
    m_offset = 0;
}

void CTransfer::closeConnection() {
    closeRequest();
    if (m_connection)
        ::WinHttpCloseHandle(m_connection);
    m_connection = nullptr;
}

void CTransfer::closeSession() {
    closeConnection();
    if (m_session)
        ::WinHttpCloseHandle(m_session);
    m_session = nullptr;
}

HINTERNET CTransfer::request() const {
    const std::lock_guard lock(m_mutex);
    return m_request;
}

bool CTransfer::setBounds(std::chrono::milliseconds connect, std::chrono::milliseconds stall,
                          std::chrono::steady_clock::time_point deadline) {
    const HINTERNET handle = request();
    // The wait for the response headers has its own time-out; it is a silence bound
    // as well (a server that sends nothing for that long after the request).
    DWORD headersMs = static_cast<DWORD>(clampMs(stall));
    if (!handle ||
        !::WinHttpSetTimeouts(handle, clampMs(connect), clampMs(connect), clampMs(stall),
                              clampMs(stall)) ||
        !::WinHttpSetOption(handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersMs,
                            sizeof headersMs))
        return false;
    m_deadline = deadline;
    startWatch(deadline);
    return true;
}

// The watch closes the request at the deadline; every blocking call on it then
// returns with a failure, whatever phase it was in.
void CTransfer::startWatch(std::chrono::steady_clock::time_point deadline) {
    stopWatch();
    m_stopWatch = false;
    m_watch = std::thread([this, deadline] {
        std::unique_lock lock(m_mutex);
        if (m_wake.wait_until(lock, deadline, [this] { return m_stopWatch; }))
            return;
        if (m_request)
            ::WinHttpCloseHandle(m_request);
        m_request = nullptr;
    });
}

void CTransfer::stopWatch() {
    if (!m_watch.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_stopWatch = true;
    }
    m_wake.notify_all();
    m_watch.join();
}

void CTransfer::setRequestData(std::wstring headers, std::string body) {
    m_extraHeaders = std::move(headers);
    m_body = std::move(body);
}

CTransfer::ESent CTransfer::exchange(bool withHeaders) {
    const ESent sent = sendHeaders(withHeaders);
    if (sent != ESent::ok)
        return sent;
    if (m_checkServer && !m_checkServer(request()))
        return ESent::notSent;
    return finishExchange();
}

CTransfer::ESent CTransfer::sendHeaders(bool withHeaders) {
    if (pastDeadline())
        return ESent::notSent; // no time left for another round of the exchange
    m_responded = false;
    m_status = 0;
    m_headers.clear();
    m_contentLength.reset();
    m_received = 0;
    m_ended = false;
    m_failed = false;
    m_pending.clear();
    m_offset = 0;
    const HINTERNET handle = request();
    if (!handle || m_body.size() > 0xFFFFFFFFu)
        return ESent::notSent;
    const bool extra = withHeaders && !m_extraHeaders.empty();
    // The body follows through WinHttpWriteData, after the server has been checked.
    if (!::WinHttpSendRequest(handle, extra ? m_extraHeaders.c_str() : WINHTTP_NO_ADDITIONAL_HEADERS,
                              extra ? static_cast<DWORD>(-1L) : 0, WINHTTP_NO_REQUEST_DATA, 0,
                              static_cast<DWORD>(m_body.size()), 0))
        return ESent::notSent;
    return ESent::ok;
}

CTransfer::ESent CTransfer::finishExchange() {
    const std::string& body = m_body;
    const HINTERNET handle = request();
    std::size_t written = 0;
    while (handle && written < body.size()) {
        DWORD count = 0;
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(body.size() - written, kReadSize));
        if (!::WinHttpWriteData(handle, body.data() + written, piece, &count) || count == 0)
            return ESent::notSent;
        written += count;
    }
    if (!handle || !::WinHttpReceiveResponse(handle, nullptr) || !readHeaders())
        return ESent::noResponse;
    m_responded = true;
    return ESent::ok;
}

// The header block as the server sent it, read by the same functions as the
// libcurl build's, so the status code has exactly three digits on both. A block
// without its closing empty line was cut off (a WinHTTP may end the block at a
// time-out inside it) and is no response.
bool CTransfer::readHeaders() {
    const HINTERNET handle = request();
    DWORD size = 0;
    if (!handle)
        return false;
    ::WinHttpQueryHeaders(handle, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                          WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return false;
    std::wstring raw(size / sizeof(wchar_t) + 1, L'\0');
    if (!::WinHttpQueryHeaders(handle, WINHTTP_QUERY_RAW_HEADERS_CRLF,
                               WINHTTP_HEADER_NAME_BY_INDEX, raw.data(), &size,
                               WINHTTP_NO_HEADER_INDEX))
        return false;
    const std::string block = narrow(raw.data(), size / sizeof(wchar_t));
    using Network::Detail::SHeaderLine;
    std::size_t pos = 0;
    bool first = true;
    bool ended = false;
    while (pos < block.size()) {
        auto end = block.find('\n', pos);
        end = end == std::string::npos ? block.size() : end + 1;
        const SHeaderLine line = Network::Detail::parseHeaderLine(
            std::string_view(block).substr(pos, end - pos));
        pos = end;
        if (first && line.kind == SHeaderLine::EKind::status)
            m_status = line.status;
        else if (line.kind == SHeaderLine::EKind::field)
            m_headers.emplace_back(line.name, line.value);
        else if (line.kind == SHeaderLine::EKind::end && !first)
            ended = true;
        first = false;
    }
    m_contentLength = Network::Detail::contentLength(headerValues("Content-Length"));
    return ended;
}

std::vector<std::string> CTransfer::headerValues(std::string_view name) const {
    return Network::Detail::headerValues(m_headers, name);
}

bool CTransfer::waitForData() {
    if (available() > 0)
        return true;
    if (m_ended || m_failed)
        return !m_failed;
    const HINTERNET handle = request();
    // Only what has arrived is read: a read of more waits until that much came, which a
    // trickling server could stretch past every bound. The deadline is checked here as
    // well, between reads, besides the watch.
    DWORD ready = 0;
    if (!m_responded || !handle || pastDeadline() ||
        !::WinHttpQueryDataAvailable(handle, &ready)) {
        m_failed = true;
        return false;
    }
    DWORD count = 0;
    if (ready > 0) {
        m_pending.resize(std::min(ready, kReadSize));
        m_offset = 0;
        if (!::WinHttpReadData(handle, m_pending.data(), static_cast<DWORD>(m_pending.size()),
                               &count)) {
            m_pending.clear();
            m_failed = true;
            return false;
        }
        m_pending.resize(count);
    }
    m_received += count;
    if (count == 0) {
        m_ended = true;
        // A connection that ends before the announced length is a cut body, not its end.
        if (m_contentLength && m_received < *m_contentLength) {
            m_failed = true;
            return false;
        }
    }
    return true;
}

std::size_t CTransfer::read(char* out, std::size_t size) {
    const std::size_t count = std::min(size, available());
    if (count > 0)
        std::memcpy(out, m_pending.data() + m_offset, count);
    m_offset += count;
    if (available() == 0) {
        m_pending.clear();
        m_offset = 0;
    }
    return count;
}

void CTransfer::discardBody() {
    if (!m_responded)
        return;
    while (waitForData() && available() > 0) {
        m_pending.clear();
        m_offset = 0;
    }
}

} // namespace Cxx::Network::Http::HttpClient::Detail
