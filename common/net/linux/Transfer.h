#pragma once
// One HTTP exchange at a time on a curl easy handle, driven through a multi handle so
// the caller decides when body bytes are read: curl is paused while the caller has not
// taken the bytes already delivered, which bounds the memory of a large body.

#include <chrono>
#include <cstddef>
#include <curl/curl.h>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Cxx::Network::Http::HttpClient::Detail {

class CTransfer {
public:
    CTransfer() = default;
    CTransfer(const CTransfer&) = delete;
    CTransfer& operator=(const CTransfer&) = delete;
    ~CTransfer();

    // The session is the multi handle (it keeps the connections), the connection the
    // easy handle with the options every request shares.
    bool openSession();
    bool openConnection();
    void closeRequest();
    void closeConnection();
    void closeSession();
    CURL* easy() const { return m_easy; }
    // curl's own certificate authorities (a bundle file, a folder of hashed files),
    // as a new connection has them; empty when curl has none.
    const std::string& systemCaFile() const { return m_systemCaFile; }
    const std::string& systemCaFolder() const { return m_systemCaFolder; }

    // What the request sends, kept for the handshake's resends.
    bool setHeaders(const std::vector<std::string>& lines);
    bool setBody(std::string body);

    // The moment by which the whole exchange (every request of a handshake and the
    // body) must be over; past it the transfer fails as timed out. Set before the
    // first perform() of an exchange.
    void setDeadline(std::chrono::steady_clock::time_point deadline) { m_deadline = deadline; }

    // (Re)starts the request with the easy handle's current options and waits until
    // the final response's headers have arrived or the transfer ends.
    bool perform();
    // Set once credentials are given: curl may then answer a 401 or 407 by itself.
    void followChallenges(bool on) { m_followChallenges = on; }
    bool active() const { return m_added; }
    // The transfer ended with an error (no response, or a cut body).
    bool failed() const { return m_done && m_result != CURLE_OK; }
    // The request had left (connection and TLS were set up) before the failure.
    bool requestSent() const;
    // A tunnel refused by the proxy with 401 or 407 counts as a response: its code.
    long status() const;
    // The values of one header of the last response, name compared without case.
    std::vector<std::string> headerValues(std::string_view name) const;

    // Body reading. waitForData returns once bytes are available or the body ended;
    // false when the transfer failed and nothing is left to hand out.
    bool waitForData();
    std::size_t available() const { return m_pending.size() - m_offset; }
    std::size_t read(char* out, std::size_t size);
    // Reads the rest of the body and drops it (keeps the connection for a retry).
    void discardBody();

private:
    static std::size_t onWrite(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static int onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    bool pastDeadline() const { return std::chrono::steady_clock::now() >= m_deadline; }
    // Runs curl until `ready` holds or the transfer ends.
    template <typename Ready> void drive(Ready ready);
    void resume();

    CURLM* m_multi = nullptr;
    CURL* m_easy = nullptr;
    std::string m_systemCaFile;
    std::string m_systemCaFolder;
    curl_slist* m_headerList = nullptr;
    std::string m_body;
    bool m_added = false;
    bool m_done = false;
    CURLcode m_result = CURLE_OK;
    // Bytes curl delivered that the reader has not taken yet; at most one delivery.
    std::string m_pending;
    std::size_t m_offset = 0;
    bool m_paused = false;
    bool m_discard = false;
    std::vector<std::pair<std::string, std::string>> m_headers;
    long m_blockStatus = 0;
    bool m_proxyBlock = false;
    bool m_finalHeaders = false;
    bool m_followChallenges = false;
    std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::time_point::max();
};

} // namespace Cxx::Network::Http::HttpClient::Detail
