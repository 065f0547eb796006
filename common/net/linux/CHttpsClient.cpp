#include "CHttpsClient.h"

#include "Transfer.h"
#include "Messages.h"
#include "ProxyBypass.h"
#include "ResponseHeaders.h"
#include "SystemProxy.h"
#include "Text.h"

#include <array>

namespace MW::Common {
namespace {

using Cxx::Network::Exception::CNetworkException;
namespace Messages = Cxx::Network::Messages;
namespace Detail = Cxx::Network::Detail;

constexpr std::uint32_t kNamedProxy = 3;
// A proxy or server alternating 401 and 407 for ever must not keep the caller here.
constexpr int kMaxAuthenticationRounds = 8;

std::string utf8Or(const std::u16string& text, const char* failure) {
    auto utf8 = utf16ToUtf8Strict(text);
    if (!utf8)
        throw CNetworkException(failure);
    return std::move(*utf8);
}

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return text;
}

bool validHost(const std::string& host) {
    if (host.empty())
        return false;
    for (const unsigned char c : host)
        if (c <= 0x20 || c == 0x7F ||
            std::string_view("/?#@[]\\").find(static_cast<char>(c)) != std::string_view::npos)
            return false;
    return true;
}

struct Scheme {
    const char* name;
    unsigned long curlBit;
};

// Strongest first, as the platform's handshake picks them (it also knows Passport,
// which nobody offers any more and curl lacks).
constexpr std::array kProxySchemes = {Scheme{"negotiate", CURLAUTH_NEGOTIATE},
                                      Scheme{"ntlm", CURLAUTH_NTLM},
                                      Scheme{"digest", CURLAUTH_DIGEST}};
// Basic last: a server that offers only Basic still gets the user's credentials.
constexpr std::array kServerSchemes = {
    Scheme{"negotiate", CURLAUTH_NEGOTIATE}, Scheme{"ntlm", CURLAUTH_NTLM},
    Scheme{"digest", CURLAUTH_DIGEST}, Scheme{"basic", CURLAUTH_BASIC}};

// The first scheme of `order` that is offered and that this curl supports; 0 if none.
template <std::size_t N>
unsigned long pickScheme(CURL* easy, const std::array<Scheme, N>& order,
                         const std::vector<std::string>& challenge, CURLoption option) {
    const auto offered = Detail::offeredSchemes(challenge);
    for (const auto& scheme : order)
        for (const auto& name : offered)
            if (name == scheme.name && curl_easy_setopt(easy, option, scheme.curlBit) == CURLE_OK)
                return scheme.curlBit;
    return 0;
}

} // namespace

CHttpsClient::CHttpsClient(const std::u16string& userAgent, const std::u16string& host,
                           const std::u16string& method, const std::u16string& proxyServer,
                           std::int32_t proxyPort, std::uint16_t serverPort, bool noSystemProxy,
                           const CTlsOptions& tls)
    : m_method(method), m_port(serverPort == 0 ? 443 : serverPort), m_tls(tls) {
    m_userAgent = utf8Or(userAgent, Messages::kOpenSession);
    m_host = utf8Or(host, Messages::kConnect);

    std::uint32_t accessType = 0;
    std::u16string proxy;
    std::u16string bypass;
    if (!proxyServer.empty() && proxyPort != 0) {
        proxy = proxyServer + u":" + utf8ToUtf16(std::to_string(proxyPort));
        bypass = u"<local>";
        accessType = kNamedProxy;
    } else if (!noSystemProxy) {
        Cxx::Network::Http::HttpClient::ReadSystemProxy(accessType, proxy, bypass);
    }
    open(accessType, utf8Or(proxy, Messages::kOpenSession), utf8Or(bypass, Messages::kOpenSession));
}

CHttpsClient::~CHttpsClient() = default;

void CHttpsClient::ReopenWithProxy(const std::u16string& proxy, const std::u16string& bypass,
                                   std::uint32_t accessType) {
    if (proxy.empty())
        return;
    open(accessType, utf8Or(proxy, Messages::kOpenSession), utf8Or(bypass, Messages::kOpenSession));
}

// Session: the proxy choice; connection: the easy handle with what every request
// shares. A failure leaves nothing open.
void CHttpsClient::open(std::uint32_t accessType, const std::string& proxy,
                        const std::string& bypass) {
    m_transfer->closeSession();
    const bool named = accessType == kNamedProxy;
    // 0 default, 1 none, 3 named, 4 automatic (no detection here: none).
    const bool knownType = accessType == 0 || accessType == 1 || named || accessType == 4;
    if (!knownType || (named && proxy.empty()) ||
        m_userAgent.find_first_of("\r\n") != std::string::npos || !m_transfer->openSession()) {
        m_transfer->closeSession();
        throw CNetworkException(Messages::kOpenSession);
    }
    m_proxy = named ? proxy : std::string();
    m_bypass = named ? bypass : std::string();

    CURL* easy = nullptr;
    const bool ok = validHost(m_host) && m_transfer->openConnection() &&
                    (easy = m_transfer->easy()) != nullptr &&
                    curl_easy_setopt(easy, CURLOPT_USERAGENT, m_userAgent.c_str()) == CURLE_OK &&
                    // What the platform speaks by default; NTLM needs HTTP/1.1 too.
                    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1) == CURLE_OK;
    if (!ok) {
        m_transfer->closeSession();
        throw CNetworkException(Messages::kConnect);
    }
}

void CHttpsClient::SendRequest(const std::u16string& path,
                               Cxx::Network::Http::HttpClient::IParametersSet* parameters,
                               const std::u16string& headers) {
    const auto method = utf16ToUtf8Strict(m_method);
    const std::string verb = method ? upper(*method) : std::string();
    if (verb != "GET" && verb != "POST")
        throw CNetworkException(Messages::kBadMethod);

    m_transfer->closeRequest();
    m_transfer->followChallenges(false);
    m_lastStatus = 0;
    CURL* easy = m_transfer->easy();
    auto target = utf16ToUtf8Strict(path);
    if (!easy || !target)
        throw CNetworkException(Messages::kCreateRequest);
    // Every request starts without credentials, as a new request of the platform does.
    if (curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_BASIC) != CURLE_OK ||
        curl_easy_setopt(easy, CURLOPT_USERNAME, nullptr) != CURLE_OK ||
        curl_easy_setopt(easy, CURLOPT_PASSWORD, nullptr) != CURLE_OK ||
        curl_easy_setopt(easy, CURLOPT_PROXYAUTH, CURLAUTH_BASIC) != CURLE_OK ||
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, nullptr) != CURLE_OK ||
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, nullptr) != CURLE_OK)
        throw CNetworkException(Messages::kCreateRequest);
    if (target->empty() || target->front() != '/')
        target->insert(0, "/");
    const bool ipv6 = m_host.find(':') != std::string::npos;
    const std::string url =
        "https://" + (ipv6 ? "[" + m_host + "]" : m_host) + ":" + std::to_string(m_port) + *target;
    // The bypass decision is per host: curl has no "<local>".
    const Cxx::Network::Detail::CProxyBypass bypass(m_bypass);
    const std::string proxy = bypass.goesDirect(m_host) ? std::string() : m_proxy;
    // Always set both, so the environment's proxy variables cannot override the choice.
    if (curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) != CURLE_OK ||
        curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str()) != CURLE_OK ||
        curl_easy_setopt(easy, CURLOPT_NOPROXY, bypass.noProxyList().c_str()) != CURLE_OK)
        throw CNetworkException(Messages::kCreateRequest);

    // Every phase is bound (see CTransferLimits): curl's low-speed rule ends a
    // request that gets less than a byte a second, silence included, and the total
    // bound one that trickles just above it or never ends.
    const Cxx::Network::Http::HttpClient::CTransferLimits& limits = m_limits;
    if (curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(limits.connect.count())) != CURLE_OK ||
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L) != CURLE_OK ||
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.stall.count())) !=
            CURLE_OK)
        throw CNetworkException(Messages::kCreateRequest);
    // One bound for the whole exchange: every round of a handshake and the body.
    m_transfer->setDeadline(std::chrono::steady_clock::now() + limits.total);

    // A CA file replaces the system's authorities: curl would otherwise still trust
    // everything in its CA folder besides the file.
    const bool relax = m_tls.relaxCertificateChecks;
    const bool ownCa = !m_tls.caFile.empty();
    const std::string& systemFile = m_transfer->systemCaFile();
    const std::string& systemFolder = m_transfer->systemCaFolder();
    if (curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, relax ? 0L : 1L) != CURLE_OK ||
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, relax ? 0L : 2L) != CURLE_OK ||
        curl_easy_setopt(easy, CURLOPT_CAINFO,
                         ownCa                ? m_tls.caFile.c_str()
                         : systemFile.empty() ? nullptr
                                              : systemFile.c_str()) != CURLE_OK ||
        curl_easy_setopt(easy, CURLOPT_CAPATH,
                         ownCa || systemFolder.empty() ? nullptr : systemFolder.c_str()) !=
            CURLE_OK)
        throw CNetworkException(Messages::kSecurityFlags);

    std::string body;
    if (parameters) {
        std::size_t size = 0;
        const char* data = parameters->GetData(size);
        body.assign(data, size);
    }
    const auto extra = utf16ToUtf8Strict(headers);
    if (!extra)
        throw CNetworkException(Messages::kSendRequest);
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < extra->size()) {
        auto end = extra->find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = extra->size();
        if (end > pos)
            lines.push_back(extra->substr(pos, end - pos));
        pos = end + 1;
    }
    // No "Expect: 100-continue" round trip for a body.
    lines.emplace_back("Expect:");
    const bool withBody = parameters != nullptr;
    const bool ok =
        m_transfer->setHeaders(lines) &&
        (verb == "POST" || withBody ? m_transfer->setBody(std::move(body))
                                    : curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L) == CURLE_OK) &&
        // A GET may carry a body too; curl would turn it into a POST otherwise.
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST,
                         verb == "GET" && withBody ? "GET" : nullptr) == CURLE_OK;
    if (!ok)
        throw CNetworkException(Messages::kSendRequest);

    if (!performOnce())
        throw CNetworkException(m_transfer->requestSent() ? Messages::kReceiveResponse
                                                          : Messages::kSendRequest);
    if (m_lastStatus == 401 || m_lastStatus == 407)
        authenticate();
}

// Sends the prepared request and waits for the response; a tunnel refused with 401
// or 407 is a response too (the handshake answers it).
bool CHttpsClient::performOnce() {
    if (!m_transfer->perform())
        throw CNetworkException(Messages::kSendRequest);
    if (!m_transfer->failed() || m_transfer->status() != 0) {
        m_lastStatus = m_transfer->status();
        return true;
    }
    return false;
}

void CHttpsClient::authenticate() {
    std::u16string user;
    std::u16string password;
    if (m_credentialsProvider)
        m_credentialsProvider->GetCredentials(user, password);
    const std::string user8 = utf8Or(user, Messages::kAuthentication);
    const std::string password8 = utf8Or(password, Messages::kAuthentication);
    CURL* easy = m_transfer->easy();

    m_transfer->followChallenges(true);
    unsigned long proxyScheme = CURLAUTH_BASIC;
    long previous = 0;
    for (int round = 0; round < kMaxAuthenticationRounds; ++round) {
        if (proxyScheme != 0 &&
            (curl_easy_setopt(easy, CURLOPT_PROXYAUTH, proxyScheme) != CURLE_OK ||
             curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, user8.c_str()) != CURLE_OK ||
             curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, password8.c_str()) != CURLE_OK))
            break;
        // Finish the challenge's body so its connection can carry the next round.
        m_transfer->discardBody();
        if (!performOnce())
            break;
        const long status = m_lastStatus;
        if (status == 401) {
            if (pickScheme(easy, kServerSchemes, m_transfer->headerValues("WWW-Authenticate"),
                           CURLOPT_HTTPAUTH) == 0 ||
                curl_easy_setopt(easy, CURLOPT_USERNAME, user8.c_str()) != CURLE_OK ||
                curl_easy_setopt(easy, CURLOPT_PASSWORD, password8.c_str()) != CURLE_OK ||
                previous == 401)
                break;
        } else if (status == 407) {
            proxyScheme =
                pickScheme(easy, kProxySchemes, m_transfer->headerValues("Proxy-Authenticate"),
                           CURLOPT_PROXYAUTH);
            if (previous == 407)
                break;
        } else {
            break;
        }
        previous = status;
    }
    if (m_lastStatus != 200)
        throw CNetworkException(Messages::kAuthentication);
}

} // namespace MW::Common
