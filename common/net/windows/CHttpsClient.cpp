#include "CHttpsClient.h"

#include "Messages.h"
#include "ServerCheck.h"
#include "SystemProxy.h"
#include "Text.h"
#include "Transfer.h"

#include <array>

namespace MW::Common {
namespace {

using Cxx::Network::Exception::CNetworkException;
namespace Messages = Cxx::Network::Messages;
using Transfer = Cxx::Network::Http::HttpClient::Detail::CTransfer;

constexpr std::uint32_t kNoProxy = 1;
constexpr std::uint32_t kNamedProxy = 3;
// A proxy or server alternating 401 and 407 for ever must not keep the caller here.
constexpr int kMaxAuthenticationRounds = 8;
// Accept certificates of an unknown authority, for the wrong usage, for another name
// or out of their dates: only on request (CTlsOptions::relaxCertificateChecks).
constexpr DWORD kRelaxedFlags = SECURITY_FLAG_IGNORE_UNKNOWN_CA |
                                SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                                SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

std::string utf8Or(const std::u16string& text, const char* failure) {
    auto utf8 = utf16ToUtf8Strict(text);
    if (!utf8)
        throw CNetworkException(failure);
    return std::move(*utf8);
}

std::wstring wide(const std::string& utf8) {
    const std::u16string text = utf8ToUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

std::wstring wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

std::wstring upper(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - 32);
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

// The first scheme of `order` among those the response offers; 0 if none.
template <std::size_t N>
DWORD pickScheme(HINTERNET request, const std::array<DWORD, N>& order) {
    DWORD supported = 0;
    DWORD first = 0;
    DWORD target = 0;
    if (!request || !::WinHttpQueryAuthSchemes(request, &supported, &first, &target))
        return 0;
    for (const DWORD scheme : order)
        if (supported & scheme)
            return scheme;
    return 0;
}

constexpr std::array<DWORD, 4> kProxySchemes = {
    WINHTTP_AUTH_SCHEME_NEGOTIATE, WINHTTP_AUTH_SCHEME_NTLM, WINHTTP_AUTH_SCHEME_PASSPORT,
    WINHTTP_AUTH_SCHEME_DIGEST};
// Basic last: a server that offers only Basic still gets the user's credentials.
constexpr std::array<DWORD, 5> kServerSchemes = {
    WINHTTP_AUTH_SCHEME_NEGOTIATE, WINHTTP_AUTH_SCHEME_NTLM, WINHTTP_AUTH_SCHEME_PASSPORT,
    WINHTTP_AUTH_SCHEME_DIGEST, WINHTTP_AUTH_SCHEME_BASIC};

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
    } else {
        // No proxy at all: the default access type would still apply the machine's
        // WinHTTP proxy, overriding the choice made.
        accessType = kNoProxy;
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

// Session with the proxy choice, then the connection to host and port. A failure
// leaves nothing open.
void CHttpsClient::open(std::uint32_t accessType, const std::string& proxy,
                        const std::string& bypass) {
    m_transfer->closeSession();
    const bool named = accessType == kNamedProxy;
    // 0 default, 1 none, 3 named, 4 automatic.
    const bool knownType = accessType == 0 || accessType == 1 || named || accessType == 4;
    if (!knownType || (named && proxy.empty()) ||
        m_userAgent.find_first_of("\r\n") != std::string::npos ||
        !m_transfer->openSession(wide(m_userAgent), accessType, named ? wide(proxy) : L"",
                                 named ? wide(bypass) : L"")) {
        m_transfer->closeSession();
        throw CNetworkException(Messages::kOpenSession);
    }
    m_proxy = named ? proxy : std::string();
    m_bypass = named ? bypass : std::string();
    if (!validHost(m_host) || !m_transfer->connect(wide(m_host), m_port)) {
        m_transfer->closeSession();
        throw CNetworkException(Messages::kConnect);
    }
}

void CHttpsClient::SendRequest(const std::u16string& path,
                               Cxx::Network::Http::HttpClient::IParametersSet* parameters,
                               const std::u16string& headers) {
    const std::wstring verb = upper(wide(m_method));
    if (verb != L"GET" && verb != L"POST")
        throw CNetworkException(Messages::kBadMethod);

    m_transfer->closeRequest();
    m_lastStatus = 0;
    std::u16string target = path;
    if (!utf16ToUtf8Strict(path))
        throw CNetworkException(Messages::kCreateRequest);
    if (target.empty() || target.front() != u'/')
        target.insert(0, u"/");
    if (!m_transfer->openRequest(verb, wide(target)))
        throw CNetworkException(Messages::kCreateRequest);

    // Verification stays on unless relaxed. With a CA file WinHTTP lets an unknown
    // authority through (names and dates it still checks) and the file decides,
    // before the body leaves (ServerCheck.h).
    const bool ownCa = !m_tls.caFile.empty();
    std::shared_ptr<Detail::CTrustedAuthorities> authorities;
    if (ownCa && !m_tls.relaxCertificateChecks) {
        authorities = Detail::CTrustedAuthorities::fromPemFile(m_tls.caFile);
        if (!authorities)
            throw CNetworkException(Messages::kSecurityFlags);
    }
    const DWORD flags = m_tls.relaxCertificateChecks ? kRelaxedFlags
                        : ownCa                      ? SECURITY_FLAG_IGNORE_UNKNOWN_CA
                                                     : 0;
    if (flags != 0 && !::WinHttpSetOption(m_transfer->request(), WINHTTP_OPTION_SECURITY_FLAGS,
                                          const_cast<DWORD*>(&flags), sizeof flags))
        throw CNetworkException(Messages::kSecurityFlags);
    if (authorities)
        m_transfer->setServerCheck(
            [authorities](HINTERNET request) { return authorities->trustsServerOf(request); });
    else
        m_transfer->setServerCheck({});

    // Every phase is bound (see CTransferLimits): WinHTTP's time-outs end connecting
    // and silence, the watch the whole exchange, every round of a handshake and the
    // body included.
    const Cxx::Network::Http::HttpClient::CTransferLimits& limits = m_limits;
    if (!m_transfer->setBounds(limits.connect,
                               std::chrono::duration_cast<std::chrono::milliseconds>(limits.stall),
                               std::chrono::steady_clock::now() + limits.total))
        throw CNetworkException(Messages::kCreateRequest);

    std::string body;
    if (parameters) {
        std::size_t size = 0;
        const char* data = parameters->GetData(size);
        body.assign(data, size);
    }
    if (!utf16ToUtf8Strict(headers))
        throw CNetworkException(Messages::kSendRequest);
    m_transfer->setRequestData(wide(headers), std::move(body));

    const Transfer::ESent sent = m_transfer->exchange(true);
    if (sent == Transfer::ESent::notSent)
        throw CNetworkException(Messages::kSendRequest);
    if (sent == Transfer::ESent::noResponse)
        throw CNetworkException(Messages::kReceiveResponse);
    m_lastStatus = m_transfer->status();
    if (m_lastStatus == 401 || m_lastStatus == 407)
        authenticate();
}

// Sends the prepared request again; WinHTTP's request to resend is honoured within
// the round limit.
bool CHttpsClient::performOnce() {
    m_transfer->discardBody();
    for (int attempt = 0; attempt < kMaxAuthenticationRounds; ++attempt) {
        if (m_transfer->exchange(false) == Transfer::ESent::ok) {
            m_lastStatus = m_transfer->status();
            return true;
        }
        if (::GetLastError() != ERROR_WINHTTP_RESEND_REQUEST)
            return false;
    }
    return false;
}

void CHttpsClient::authenticate() {
    std::u16string user;
    std::u16string password;
    if (m_credentialsProvider)
        m_credentialsProvider->GetCredentials(user, password);
    utf8Or(user, Messages::kAuthentication);
    utf8Or(password, Messages::kAuthentication);
    const std::wstring wideUser = wide(user);
    const std::wstring widePassword = wide(password);

    DWORD proxyScheme = WINHTTP_AUTH_SCHEME_BASIC;
    long previous = 0;
    for (int round = 0; round < kMaxAuthenticationRounds; ++round) {
        if (proxyScheme != 0 &&
            !::WinHttpSetCredentials(m_transfer->request(), WINHTTP_AUTH_TARGET_PROXY, proxyScheme,
                                     wideUser.c_str(), widePassword.c_str(), nullptr))
            break;
        if (!performOnce())
            break;
        const long status = m_lastStatus;
        if (status == 401) {
            const DWORD scheme = pickScheme(m_transfer->request(), kServerSchemes);
            if (scheme == 0 ||
                !::WinHttpSetCredentials(m_transfer->request(), WINHTTP_AUTH_TARGET_SERVER, scheme,
                                         wideUser.c_str(), widePassword.c_str(), nullptr) ||
                previous == 401)
                break;
        } else if (status == 407) {
            proxyScheme = pickScheme(m_transfer->request(), kProxySchemes);
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
