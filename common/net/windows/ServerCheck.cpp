#include "ServerCheck.h"

#include "Text.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace MW::Common::Detail {
namespace {

std::string readFile(const std::string& utf8Path) {
    const std::u16string path16 = utf8ToUtf16(utf8Path);
    std::ifstream in(std::filesystem::path(std::wstring(path16.begin(), path16.end())),
                     std::ios::binary);
    if (!in)
        return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Faults that only say the chain ends outside the system's store, or that revocation
// could not be asked (a private authority rarely publishes a list).
constexpr DWORD kAcceptedFaults = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
                                  CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                                  CERT_TRUST_IS_OFFLINE_REVOCATION;

} // namespace

std::shared_ptr<CTrustedAuthorities> CTrustedAuthorities::fromPemFile(const std::string& utf8Path) {
    const std::string text = readFile(utf8Path);
    const HCERTSTORE store =
        ::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr);
    if (!store)
        return nullptr;
    std::shared_ptr<CTrustedAuthorities> result(new CTrustedAuthorities(store));
    static constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
    static constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
    int count = 0;
    for (auto begin = text.find(kBegin); begin != std::string::npos;
         begin = text.find(kBegin, begin + 1)) {
        const auto end = text.find(kEnd, begin);
        if (end == std::string::npos)
            break;
        const std::string block = text.substr(begin, end + kEnd.size() - begin);
        DWORD size = 0;
        if (!::CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()),
                                    CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
            continue;
        std::vector<BYTE> der(size);
        if (::CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()),
                                   CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                                   nullptr) &&
            ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size,
                                               CERT_STORE_ADD_ALWAYS, nullptr))
            ++count;
    }
    return count > 0 ? result : nullptr;
}

CTrustedAuthorities::~CTrustedAuthorities() {
    ::CertCloseStore(m_store, 0);
}

bool CTrustedAuthorities::trustsServerOf(HINTERNET request) const {
    PCCERT_CONTEXT server = nullptr;
    DWORD size = sizeof server;
    if (!request ||
        !::WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &server, &size) ||
        !server)
        return false;
    // The chain may run through the file's certificates and what the server sent.
    const HCERTSTORE extra =
        ::CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr);
    bool trusted = false;
    if (extra && ::CertAddStoreToCollection(extra, m_store, 0, 0) &&
        (!server->hCertStore || ::CertAddStoreToCollection(extra, server->hCertStore, 0, 0))) {
        CERT_CHAIN_PARA para{};
        para.cbSize = sizeof para;
        PCCERT_CHAIN_CONTEXT chain = nullptr;
        if (::CertGetCertificateChain(nullptr, server, nullptr, extra, &para, 0, nullptr, &chain) &&
            chain && chain->cChain > 0) {
            const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
            // From the server's certificate upwards, every link sound, until one of ours.
            for (DWORD i = 0; i < simple->cElement; ++i) {
                const CERT_CHAIN_ELEMENT* element = simple->rgpElement[i];
                if (element->TrustStatus.dwErrorStatus & ~kAcceptedFaults)
                    break;
                if (PCCERT_CONTEXT found = ::CertFindCertificateInStore(
                        m_store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING,
                        element->pCertContext, nullptr)) {
                    ::CertFreeCertificateContext(found);
                    trusted = true;
                    break;
                }
            }
        }
        if (chain)
            ::CertFreeCertificateChain(chain);
    }
    if (extra)
        ::CertCloseStore(extra, 0);
    ::CertFreeCertificateContext(server);
    return trusted;
}

} // namespace MW::Common::Detail
