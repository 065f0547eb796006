#pragma once
// Real network peers for tests, started on loopback by the test itself:
//  - HttpsTestServer: https_test_server.py (Python http.server + ssl) with a certificate
//    made by `openssl req` at start. It records every request and answers by path:
//      /status/NNN   status NNN          /basic/...   401 Basic until the right credentials
//      /chunked/N    N bytes, chunked    /digest/...  401 Digest (MD5, qop=auth) likewise
//      /bytes/N      N bytes + length    /close       drops the connection unanswered
//      /truncated/N  announces N bytes, sends N/2, hangs up
//      /hold/N       headers of N bytes now, the body after releaseHeldBodies()
//                    (the server gives up and hangs up after 30 s)
//      /silent       takes the request and never answers
//      /trickle/N/MS announces N bytes, sends one every MS milliseconds
//      /tricklehead/MS  a status line, then a header one byte every MS ms, never ending
//      /endless      a chunked body without end
//      anything else 200 "OK"
//    Silent, slow and endless answers last until the client leaves (at most 300 s).
//    Body byte i of /bytes and /chunked is i % 251 (see expectedBody).
//  - TinyProxy: tinyproxy on a free loopback port, optionally with BasicAuth; its log
//    shows every CONNECT it handled.
// Both stop (SIGTERM) and remove their files when destroyed. Constructors throw
// std::runtime_error when the program cannot be started. A Windows test under Wine
// starts the same Linux programs (Process.h) and reaches them on 127.0.0.1.

#include "Process.h"
#include "TempDir.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace MW::Test {

// Where the proxies of the tests listen. Under Wine another loopback address than the
// server's: Wine's WinHTTP tunnels through a proxy only when the proxy's host differs
// from the server's, and would otherwise start TLS with the proxy itself.
#ifdef _WIN32
inline constexpr char kProxyAddress[] = "127.0.0.2";
#else
inline constexpr char kProxyAddress[] = "127.0.0.1";
#endif

// Wine's WinHTTP reads a proxy's refusal of CONNECT (407) and then starts TLS on it
// anyway, so the request fails as a TLS failure and the authentication handshake
// through a proxy never begins; Windows reports the 407 as the response. Tests of
// that handshake skip themselves under Wine with this text.
inline constexpr char kWineProxyAuthentication[] =
    "Wine ends a CONNECT refused with 407 as a TLS failure; the proxy handshake runs on "
    "Windows and Linux only";

// A self-signed certificate (PEM) for the subject alternative names, valid one day.
struct TestCertificate {
    std::string certFile;
    std::string keyFile;
};
#ifdef _WIN32
// Wine's certificate checks compare a host given as an address with DNS names only
// (Windows itself reads the IP entry), so the address is a DNS name as well.
inline constexpr char kLoopbackNames[] = "DNS:localhost,IP:127.0.0.1,DNS:127.0.0.1";
#else
inline constexpr char kLoopbackNames[] = "DNS:localhost,IP:127.0.0.1";
#endif
inline constexpr char kTestSubject[] = "/CN=Morrowick test server";
TestCertificate makeTestCertificate(const std::string& directory,
                                    const std::string& altNames = kLoopbackNames,
                                    const std::string& subject = kTestSubject);

// A loopback TCP port nobody listens on at the moment of the call.
std::uint16_t freeLoopbackPort();

// The body /bytes/N and /chunked/N send.
std::string expectedBody(std::size_t size);

struct RecordedRequest {
    std::string method;
    std::string path;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first value of a header (name compared without case), empty when absent.
    std::string header(std::string_view name) const;
    bool hasHeader(std::string_view name) const;
};

// A port on kProxyAddress with a listener that never accepts: the kernel completes each TCP
// handshake, then nothing answers (a proxy that hangs before its first byte).
class SilentListener {
public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    std::uint16_t port() const { return m_port; }

private:
    std::uintptr_t m_socket = 0;
    std::uint16_t m_port = 0;
};

class HttpsTestServer {
public:
    struct Options {
        std::string user = "user"; // credentials /basic and /digest accept
        std::string password = "secret";
        std::uint16_t port = 0; // 0: any free port
        std::string certificateNames = kLoopbackNames;
        // Plain HTTP instead, answering everything (CONNECT too) with 407 Basic: a proxy
        // that no credentials satisfy, on kProxyAddress. requests() then lists the CONNECTs.
        bool refusingProxy = false;
        // With refusingProxy: the 407 carries a chunked body that never ends.
        bool endlessRefusal = false;
        // Answers every request as if it asked for this path (such as "/silent"):
        // for clients whose path is fixed. Requests are recorded with their own path.
        std::string answerAs;
    };

    HttpsTestServer();
    explicit HttpsTestServer(const Options& options);
    ~HttpsTestServer();
    HttpsTestServer(const HttpsTestServer&) = delete;
    HttpsTestServer& operator=(const HttpsTestServer&) = delete;

    std::uint16_t port() const { return m_port; }
    // The server's self-signed certificate: a client's CA file to trust it.
    const std::string& caFile() const { return m_certificate.certFile; }
    // Requests answered so far, in arrival order.
    std::vector<RecordedRequest> requests() const;
    std::size_t requestCount() const;
    // Lets every /hold response, waiting or still to come, send its body.
    void releaseHeldBodies();
    bool waitForRequests(std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

private:
    TempDir m_dir;
    TestCertificate m_certificate;
    std::string m_recordDir;
    std::uint16_t m_port = 0;
    std::unique_ptr<Child> m_process;
};

class TinyProxy {
public:
    struct Options {
        std::string user; // BasicAuth user and password when not empty
        std::string password;
    };

    TinyProxy();
    explicit TinyProxy(const Options& options);
    ~TinyProxy();
    TinyProxy(const TinyProxy&) = delete;
    TinyProxy& operator=(const TinyProxy&) = delete;

    std::uint16_t port() const { return m_port; }
    std::string host() const { return kProxyAddress; }
    std::string log() const;
    // The targets of the CONNECT requests in the log, such as "127.0.0.1:4443".
    std::vector<std::string> connects() const;
    // Waits a little for the log, which tinyproxy writes as it goes.
    bool sawConnectTo(std::uint16_t port,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

private:
    void start(const Options& options);

    TempDir m_dir;
    std::uint16_t m_port = 0;
    std::unique_ptr<Child> m_process;
};

} // namespace MW::Test
