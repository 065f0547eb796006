#pragma once
// A small blocking HTTP client: send one request, then read its body whole or in chunks.

#include "CException.h"
#include "Parameters.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace Cxx::Network::Http::HttpClient {

namespace Detail {
class CTransfer;
}

class ICredentialsProvider {
public:
    virtual ~ICredentialsProvider() = default;
    virtual void GetCredentials(std::u16string& user, std::u16string& password) = 0;
};

class IDataReceiver {
public:
    virtual ~IDataReceiver() = default;
    // One piece of the body: `bytesRead` bytes at `buffer` (of `bufferSize` bytes).
    // Returns false to stop reading.
    virtual bool OnData(const char* buffer, std::size_t bufferSize, std::size_t bytesRead,
                        std::uint64_t totalReceived, std::uint64_t contentLength) = 0;
};

// How long and how much one exchange may take, so that no server or proxy can hold
// the caller for ever or fill its memory. Each phase (connecting, the TLS
// handshake, a proxy's answer, the response headers, the body) is bound.
struct CTransferLimits {
    // Connecting to the server or the proxy, TLS handshake included.
    std::chrono::milliseconds connect{30000};
    // A server or proxy that sends less than a byte a second over this time (one
    // that stays silent, or trickles) ends the request with the receive failure.
    std::chrono::seconds stall{30};
    // The whole exchange, from SendRequest to the end of the body.
    std::chrono::milliseconds total{std::chrono::minutes(5)};
    // The largest body ReceiveAll takes; a longer one is a read failure.
    std::size_t maxReceiveAll = 64 * 1024 * 1024;
};

// Every operation blocks the calling thread, within CTransferLimits; every failure
// throws CNetworkException.
class CHttpClient {
public:
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;
    // Closes the request, the connection and the session, in that order.
    virtual ~CHttpClient();

    // Returns once the final response headers have arrived and any authentication is
    // settled; the status code is not judged. `parameters` may be null (no body);
    // `headers` are extra request header lines separated by CRLF, empty for none.
    virtual void SendRequest(const std::u16string& path, IParametersSet* parameters,
                             const std::u16string& headers) = 0;
    // Hands the body to `receiver` in pieces of at most `chunkSize` bytes. Needs a
    // Content-Length header. Holds about one chunk in memory at a time.
    virtual void ReceiveInChunks(IDataReceiver& receiver, std::size_t chunkSize);
    // The whole body followed by three zero bytes; `length` is the body length + 1.
    // A body longer than CTransferLimits::maxReceiveAll fails.
    virtual void ReceiveAll(std::unique_ptr<char[]>& buffer, std::size_t& length);
    // Asked once for user name and password when the server or the proxy requires
    // authentication; null clears it. Not owned.
    virtual void SetCredentialsProvider(ICredentialsProvider* provider);

    // Apply from the next SendRequest (the time bounds) and ReceiveAll (the size).
    void SetLimits(const CTransferLimits& limits) { m_limits = limits; }
    const CTransferLimits& Limits() const noexcept { return m_limits; }

protected:
    CHttpClient();

    // The session, the connection (with proxy, user agent, host and port) and the
    // current request live here: curl's multi and easy handles on Linux, WinHTTP's
    // three handles on Windows (linux/Transfer.h, windows/Transfer.h).
    std::unique_ptr<Detail::CTransfer> m_transfer;
    ICredentialsProvider* m_credentialsProvider = nullptr;
    CTransferLimits m_limits;
};

} // namespace Cxx::Network::Http::HttpClient
