#include "NetTestServers.h"

#include "Wait.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>
#include <vector>
#ifdef _WIN32
#include <winsock2.h>
// inet_pton
#include <ws2tcpip.h>
// after winsock2.h, which must come before windows.h
#include <wincrypt.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#ifndef MW_NET_TEST_SERVER_SCRIPT
#error "MW_NET_TEST_SERVER_SCRIPT must name https_test_server.py"
#endif
#ifndef MW_NET_TEST_PYTHON
#define MW_NET_TEST_PYTHON "python3"
#endif

namespace MW::Test {
namespace {

bool lowerEquals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
Socket openSocket() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started ? ::socket(AF_INET, SOCK_STREAM, 0) : kNoSocket;
}
void closeSocket(Socket fd) {
    ::closesocket(fd);
}
using AddressLength = int;
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
Socket openSocket() {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}
void closeSocket(Socket fd) {
    ::close(fd);
}
using AddressLength = socklen_t;
#endif

sockaddr_in loopback(std::uint16_t port, const char* host = "127.0.0.1") {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, host, &address.sin_addr);
    return address;
}

bool acceptsConnections(std::uint16_t port, const char* host) {
    const Socket fd = openSocket();
    if (fd == kNoSocket)
        return false;
    sockaddr_in address = loopback(port, host);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    closeSocket(fd);
    return ok;
}

// Bound to a free loopback port; `listening`: also takes connections into its backlog.
Socket boundSocket(bool listening, std::uint16_t& port, const char* host = "127.0.0.1") {
    const Socket fd = openSocket();
    sockaddr_in address = loopback(0, host);
    AddressLength length = sizeof address;
    if (fd == kNoSocket || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (listening && ::listen(fd, 4) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd != kNoSocket)
            closeSocket(fd);
        throw std::runtime_error("no free loopback port");
    }
    port = ntohs(address.sin_port);
    return fd;
}

std::filesystem::path fsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The process is still starting or running (a start failure ends it quickly).
bool running(Child& child) {
    return child.wait(0) == -1;
}

RecordedRequest parseRecord(const std::string& head, std::string body) {
    RecordedRequest request;
    request.body = std::move(body);
    std::size_t pos = 0;
    bool first = true;
    while (pos < head.size()) {
        auto end = head.find("\r\n", pos);
        if (end == std::string::npos)
            end = head.size();
        const std::string line = head.substr(pos, end - pos);
        pos = end + 2;
        if (first) {
            const auto space = line.find(' ');
            request.method = line.substr(0, space);
            request.path = space == std::string::npos ? "" : line.substr(space + 1);
            first = false;
            continue;
        }
        const auto colon = line.find(": ");
        if (colon != std::string::npos)
            request.headers.emplace_back(line.substr(0, colon), line.substr(colon + 2));
    }
    return request;
}

std::vector<std::string> recordNames(const std::string& directory) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(fsPath(directory), error), end;
         !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() > 5 && name.substr(name.size() - 5) == ".head")
            names.push_back(name.substr(0, name.size() - 5));
    }
    std::sort(names.begin(), names.end());
    return names;
}

#ifdef _WIN32
// Wine's crypt32 refuses an ECDSA signature whose r or s is shorter than the curve's
// 32 bytes (about one certificate in 128; Windows itself accepts them). A certificate
// it cannot check would fail a CA-file test at random, so the Windows build asks the
// system's own check of the self-signature and draws again until it passes.
bool systemVerifiesSelfSignature(const std::string& pem) {
    DWORD size = 0;
    if (!::CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()),
                                CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
        return false;
    std::vector<BYTE> der(size);
    if (!::CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()),
                                CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr))
        return false;
    const PCCERT_CONTEXT certificate =
        ::CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), size);
    if (!certificate)
        return false;
    const BOOL verified = ::CryptVerifyCertificateSignatureEx(
        0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CERT,
        const_cast<CERT_CONTEXT*>(certificate), CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT,
        const_cast<CERT_CONTEXT*>(certificate), 0, nullptr);
    ::CertFreeCertificateContext(certificate);
    return verified != FALSE;
}
#endif

} // namespace

TestCertificate makeTestCertificate(const std::string& directory, const std::string& altNames,
                                    const std::string& subject) {
    TestCertificate certificate{directory + kSeparator + "cert.pem",
                                directory + kSeparator + "key.pem"};
    for (int attempt = 0;; ++attempt) {
        const auto result = runCommand(
            {"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
             "-nodes", "-days", "1", "-subj", subject, "-addext", "subjectAltName=" + altNames,
             "-keyout", unixPath(certificate.keyFile), "-out", unixPath(certificate.certFile)});
        if (result.status != 0)
            throw std::runtime_error("openssl req failed: " + result.err);
#ifdef _WIN32
        if (!systemVerifiesSelfSignature(readFile(certificate.certFile))) {
            if (attempt < 20)
                continue;
            throw std::runtime_error("openssl req: no certificate Wine can check in 20 draws");
        }
#endif
        return certificate;
    }
}

std::uint16_t freeLoopbackPort() {
    std::uint16_t port = 0;
    closeSocket(boundSocket(false, port));
    return port;
}

SilentListener::SilentListener() {
    m_socket = static_cast<std::uintptr_t>(boundSocket(true, m_port, kProxyAddress));
}

SilentListener::~SilentListener() {
    closeSocket(static_cast<Socket>(m_socket));
}

std::string expectedBody(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>(i % 251);
    return body;
}

std::string RecordedRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (lowerEquals(key, name))
            return value;
    return {};
}

bool RecordedRequest::hasHeader(std::string_view name) const {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& entry) { return lowerEquals(entry.first, name); });
}

HttpsTestServer::HttpsTestServer() : HttpsTestServer(Options{}) {}

HttpsTestServer::HttpsTestServer(const Options& options)
    : m_certificate(makeTestCertificate(m_dir.path(), options.certificateNames)),
      m_recordDir(m_dir / "requests") {
    std::filesystem::create_directories(fsPath(m_recordDir));
    const std::string portFile = m_dir / "port";
    std::vector<std::string> argv = {MW_NET_TEST_PYTHON,
                                     MW_NET_TEST_SERVER_SCRIPT,
                                     "--cert",
                                     unixPath(m_certificate.certFile),
                                     "--key",
                                     unixPath(m_certificate.keyFile),
                                     "--record-dir",
                                     unixPath(m_recordDir),
                                     "--port-file",
                                     unixPath(portFile),
                                     "--port",
                                     std::to_string(options.port),
                                     "--user",
                                     options.user,
                                     "--password",
                                     options.password,
                                     "--address",
                                     options.refusingProxy ? kProxyAddress : "127.0.0.1"};
    if (options.refusingProxy)
        argv.emplace_back("--refusing-proxy");
    if (options.endlessRefusal)
        argv.emplace_back("--endless-refusal");
    if (!options.answerAs.empty()) {
        argv.emplace_back("--answer-as");
        argv.push_back(options.answerAs);
    }
    m_process = std::make_unique<Child>(argv);
    const bool started =
        waitUntil([&] { return exists(portFile) || !running(*m_process); }, 30) && exists(portFile);
    if (!started)
        throw std::runtime_error("https_test_server.py did not start");
    m_port = static_cast<std::uint16_t>(std::stoi(readFile(portFile)));
}

HttpsTestServer::~HttpsTestServer() = default;

std::vector<RecordedRequest> HttpsTestServer::requests() const {
    std::vector<RecordedRequest> out;
    for (const auto& name : recordNames(m_recordDir))
        out.push_back(parseRecord(readFile(m_recordDir + kSeparator + name + ".head"),
                                  readFile(m_recordDir + kSeparator + name + ".body")));
    return out;
}

void HttpsTestServer::releaseHeldBodies() {
    writeFile(m_recordDir + kSeparator + "release", "");
}

std::size_t HttpsTestServer::requestCount() const {
    return recordNames(m_recordDir).size();
}

bool HttpsTestServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return requestCount() >= count; }, timeout);
}

TinyProxy::TinyProxy() : TinyProxy(Options{}) {}

TinyProxy::TinyProxy(const Options& options) {
    // The port is free when chosen but may be taken before tinyproxy binds it (tests
    // run in parallel): then tinyproxy ends and another port is tried.
    for (int attempt = 0; attempt < 5 && !m_process; ++attempt)
        start(options);
    if (!m_process)
        throw std::runtime_error("tinyproxy did not start");
}

void TinyProxy::start(const Options& options) {
    m_port = freeLoopbackPort();
    std::string config = "Port " + std::to_string(m_port) +
                         "\n"
                         "Listen " + std::string(kProxyAddress) + "\n"
                         "Timeout 60\n"
                         "LogFile \"" +
                         unixPath(m_dir / "tinyproxy.log") +
                         "\"\n"
                         "LogLevel Info\n"
                         "MaxClients 20\n"
                         "Allow 127.0.0.1\n";
    if (!options.user.empty())
        config += "BasicAuth " + options.user + " " + options.password + "\n";
    writeFile(m_dir / "tinyproxy.conf", config);
    auto process = std::make_unique<Child>(
        std::vector<std::string>{"tinyproxy", "-d", "-c", unixPath(m_dir / "tinyproxy.conf")});
    waitUntil([&] { return acceptsConnections(m_port, kProxyAddress) || !running(*process); }, 30);
    if (running(*process) && acceptsConnections(m_port, kProxyAddress))
        m_process = std::move(process);
}

TinyProxy::~TinyProxy() = default;

std::string TinyProxy::log() const {
    const std::string path = m_dir / "tinyproxy.log";
    return exists(path) ? readFile(path) : std::string();
}

std::vector<std::string> TinyProxy::connects() const {
    std::vector<std::string> targets;
    const std::string text = log();
    const std::string marker = ": CONNECT ";
    for (auto pos = text.find(marker); pos != std::string::npos; pos = text.find(marker, pos)) {
        pos += marker.size();
        targets.push_back(text.substr(pos, text.find(' ', pos) - pos));
    }
    return targets;
}

bool TinyProxy::sawConnectTo(std::uint16_t port, std::chrono::milliseconds timeout) const {
    const std::string suffix = ":" + std::to_string(port);
    return waitUntil(
        [&] {
            const auto targets = connects();
            return std::any_of(targets.begin(), targets.end(), [&](const std::string& target) {
                return target.size() > suffix.size() &&
                       target.compare(target.size() - suffix.size(), suffix.size(), suffix) == 0;
            });
        },
        timeout);
}

} // namespace MW::Test
