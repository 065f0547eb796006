#pragma once
// The HTTPS client: GET or POST to one host over TLS, directly or through a proxy.

#include "HttpClient.h"

#include <cstdint>
#include <string>

namespace MW::Common {

struct CTlsOptions {
    // Accepts certificates of an unknown authority, for the wrong usage, for another
    // name or out of their dates. Off by default: a client that accepts any
    // certificate hands its data to whoever sits on the path.
    bool relaxCertificateChecks = false;
    // PEM file of the authorities to trust instead of the system's (private servers).
    std::string caFile;
};

class CHttpsClient : public Cxx::Network::Http::HttpClient::CHttpClient {
public:
    // Opens the session and the connection. An explicit proxy is used when `proxyServer`
    // is not empty and `proxyPort` is not 0 (host names without a dot then go direct);
    // otherwise the system proxy, unless `noSystemProxy`. Server port 0 means 443.
    // The TCP connection itself is made by SendRequest.
    CHttpsClient(const std::u16string& userAgent, const std::u16string& host,
                 const std::u16string& method, const std::u16string& proxyServer,
                 std::int32_t proxyPort, std::uint16_t serverPort, bool noSystemProxy,
                 const CTlsOptions& tls = {});
    ~CHttpsClient() override;

    void SendRequest(const std::u16string& path,
                     Cxx::Network::Http::HttpClient::IParametersSet* parameters,
                     const std::u16string& headers) override;

    // Reopens session and connection with another proxy (access type 3 named proxy,
    // 0 or 1 none). Does nothing when `proxy` is empty.
    void ReopenWithProxy(const std::u16string& proxy, const std::u16string& bypass,
                         std::uint32_t accessType);

    // Applies to the next SendRequest.
    void SetTlsOptions(const CTlsOptions& tls) { m_tls = tls; }

    // The status code of the last response (0 before any).
    long LastStatus() const noexcept { return m_lastStatus; }

private:
    void open(std::uint32_t accessType, const std::string& proxy, const std::string& bypass);
    bool performOnce();
    void authenticate();

    std::u16string m_method;
    std::string m_userAgent;
    std::string m_host;
    std::uint16_t m_port;
    CTlsOptions m_tls;
    // The session's proxy ("host:port", empty for none) and bypass list.
    std::string m_proxy;
    std::string m_bypass;
    long m_lastStatus = 0;
};

} // namespace MW::Common
