#include "Transfer.h"

#include "ResponseHeaders.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace Cxx::Network::Http::HttpClient::Detail {
namespace {

bool initialiseCurl() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ok;
}

} // namespace

CTransfer::~CTransfer() {
    closeRequest();
    closeConnection();
    closeSession();
}

bool CTransfer::openSession() {
    if (!initialiseCurl())
        return false;
    m_multi = curl_multi_init();
    return m_multi != nullptr;
}

bool CTransfer::openConnection() {
    m_easy = curl_easy_init();
    if (!m_easy)
        return false;
    // The built-in defaults, read before any request changes them.
    const char* caFile = nullptr;
    const char* caFolder = nullptr;
    curl_easy_getinfo(m_easy, CURLINFO_CAINFO, &caFile);
    curl_easy_getinfo(m_easy, CURLINFO_CAPATH, &caFolder);
    m_systemCaFile = caFile ? caFile : "";
    m_systemCaFolder = caFolder ? caFolder : "";
    return curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CTransfer::onWrite) == CURLE_OK &&
           curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this) == CURLE_OK &&
           curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &CTransfer::onHeader) == CURLE_OK &&
           curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this) == CURLE_OK &&
           curl_easy_setopt(m_easy, CURLOPT_XFERINFOFUNCTION, &CTransfer::onProgress) ==
               CURLE_OK &&
           curl_easy_setopt(m_easy, CURLOPT_XFERINFODATA, this) == CURLE_OK &&
           curl_easy_setopt(m_easy, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
           curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
}

void CTransfer::closeRequest() {
    if (m_added)
        curl_multi_remove_handle(m_multi, m_easy);
    m_added = false;
    m_done = false;
    m_result = CURLE_OK;
    m_pending.clear();
    m_offset = 0;
    m_paused = false;
    m_discard = false;
    m_headers.clear();
    m_blockStatus = 0;
    m_proxyBlock = false;
    m_finalHeaders = false;
}

void CTransfer::closeConnection() {
    closeRequest();
    if (m_easy)
        curl_easy_cleanup(m_easy);
    m_easy = nullptr;
    curl_slist_free_all(m_headerList);
    m_headerList = nullptr;
    m_body.clear();
}

bool CTransfer::setHeaders(const std::vector<std::string>& lines) {
    curl_slist* list = nullptr;
    for (const auto& line : lines) {
        curl_slist* longer = curl_slist_append(list, line.c_str());
        if (!longer) {
            curl_slist_free_all(list);
            return false;
        }
        list = longer;
    }
    if (!m_easy || curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, list) != CURLE_OK) {
        curl_slist_free_all(list);
        return false;
    }
    curl_slist_free_all(m_headerList);
    m_headerList = list;
    return true;
}

bool CTransfer::setBody(std::string body) {
    m_body = std::move(body);
    return m_easy &&
           curl_easy_setopt(m_easy, CURLOPT_POSTFIELDSIZE_LARGE,
                            static_cast<curl_off_t>(m_body.size())) == CURLE_OK &&
           curl_easy_setopt(m_easy, CURLOPT_POSTFIELDS, m_body.data()) == CURLE_OK;
}

void CTransfer::closeSession() {
    closeConnection();
    if (m_multi)
        curl_multi_cleanup(m_multi);
    m_multi = nullptr;
}

bool CTransfer::perform() {
    closeRequest();
    if (!m_multi || !m_easy)
        return false;
    if (pastDeadline()) {
        // No time left for another request of this exchange.
        m_done = true;
        m_result = CURLE_OPERATION_TIMEDOUT;
        return true;
    }
    // curl's own bound for this request: the time the exchange has left.
    using std::chrono::milliseconds;
    const auto left = std::chrono::duration_cast<milliseconds>(
        m_deadline - std::min(m_deadline, std::chrono::steady_clock::now()));
    const long leftMs = m_deadline == std::chrono::steady_clock::time_point::max()
                            ? 0L // none
                            : static_cast<long>(std::max<milliseconds::rep>(1, left.count()));
    if (curl_easy_setopt(m_easy, CURLOPT_TIMEOUT_MS, leftMs) != CURLE_OK ||
        curl_multi_add_handle(m_multi, m_easy) != CURLM_OK)
        return false;
    m_added = true;
    drive([this] { return m_finalHeaders || available() > 0; });
    return true;
}

template <typename Ready> void CTransfer::drive(Ready ready) {
    while (m_added && !m_done) {
        int running = 0;
        if (curl_multi_perform(m_multi, &running) != CURLM_OK) {
            m_done = true;
            m_result = CURLE_FAILED_INIT;
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(m_multi, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == m_easy) {
                m_done = true;
                m_result = message->data.result;
            }
        }
        if (m_done || ready())
            break;
        if (pastDeadline()) {
            // Whatever phase curl is in, the exchange is over.
            m_done = true;
            m_result = CURLE_OPERATION_TIMEDOUT;
            break;
        }
        // Wakes on socket activity; the time-out only bounds curl's own timers and
        // how late the deadline is noticed.
        curl_multi_poll(m_multi, nullptr, 0, 1000, nullptr);
    }
}

// Called by curl while it works, also inside phases that do not return to drive()
// for as long as data keeps coming (a proxy's endless answer to CONNECT).
int CTransfer::onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<CTransfer*>(self)->pastDeadline() ? 1 : 0;
}

bool CTransfer::requestSent() const {
    curl_off_t pretransfer = 0;
    return m_easy &&
           curl_easy_getinfo(m_easy, CURLINFO_PRETRANSFER_TIME_T, &pretransfer) == CURLE_OK &&
           pretransfer > 0;
}

long CTransfer::status() const {
    long code = 0;
    if (!m_easy)
        return 0;
    if (failed()) {
        curl_easy_getinfo(m_easy, CURLINFO_HTTP_CONNECTCODE, &code);
        return code == 401 || code == 407 ? code : 0;
    }
    curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

std::vector<std::string> CTransfer::headerValues(std::string_view name) const {
    return Network::Detail::headerValues(m_headers, name);
}

bool CTransfer::waitForData() {
    drive([this] { return available() > 0; });
    return available() > 0 || !failed();
}

std::size_t CTransfer::read(char* out, std::size_t size) {
    const std::size_t count = std::min(size, available());
    if (count > 0)
        std::memcpy(out, m_pending.data() + m_offset, count);
    m_offset += count;
    if (available() == 0)
        resume();
    return count;
}

void CTransfer::discardBody() {
    if (!m_added)
        return;
    m_discard = true;
    m_pending.clear();
    m_offset = 0;
    resume();
    drive([] { return false; });
}

// Hands curl's held-back bytes (if any) to onWrite again.
void CTransfer::resume() {
    m_pending.clear();
    m_offset = 0;
    if (m_paused && !m_done) {
        m_paused = false;
        curl_easy_pause(m_easy, CURLPAUSE_CONT);
    }
}

std::size_t CTransfer::onWrite(char* data, std::size_t size, std::size_t count, void* self) {
    auto& transfer = *static_cast<CTransfer*>(self);
    const std::size_t bytes = size * count;
    if (transfer.m_discard)
        return bytes;
    // curl keeps this delivery and reads no further until resumed.
    if (transfer.available() > 0) {
        transfer.m_paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    transfer.m_pending.assign(data, bytes);
    transfer.m_offset = 0;
    return bytes;
}

std::size_t CTransfer::onHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto& transfer = *static_cast<CTransfer*>(self);
    const std::size_t bytes = size * count;
    using Network::Detail::SHeaderLine;
    const SHeaderLine line = Network::Detail::parseHeaderLine(std::string_view(data, bytes));
    switch (line.kind) {
    case SHeaderLine::EKind::status: {
        // Each status line starts a response: the proxy's answer to CONNECT, an
        // interim one, a challenge or the final one.
        transfer.m_headers.clear();
        transfer.m_finalHeaders = false;
        transfer.m_blockStatus = line.status;
        // curl records the server's status before passing its status line on; while
        // the proxy answers CONNECT there is none yet.
        long serverStatus = 0;
        curl_easy_getinfo(transfer.m_easy, CURLINFO_RESPONSE_CODE, &serverStatus);
        transfer.m_proxyBlock = serverStatus == 0;
        break;
    }
    case SHeaderLine::EKind::end: {
        // A challenge curl answers itself (credentials are set) is followed by another
        // response; then the body or the end of the transfer tells which one is last.
        const long status = transfer.m_blockStatus;
        const bool challenge = status == 401 || status == 407;
        transfer.m_finalHeaders =
            status >= 200 && !transfer.m_proxyBlock && !(challenge && transfer.m_followChallenges);
        break;
    }
    case SHeaderLine::EKind::field:
        transfer.m_headers.emplace_back(line.name, line.value);
        break;
    case SHeaderLine::EKind::other:
        break;
    }
    return bytes;
}

} // namespace Cxx::Network::Http::HttpClient::Detail
