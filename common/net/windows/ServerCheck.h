#pragma once
// The authorities of a CA file (CTlsOptions::caFile) and the check of a server's
// certificate against them: WinHTTP knows only the system's store, so with a CA file it
// lets an unknown authority pass (still checking name and dates) and this check decides
// before the request's body leaves.

#include <memory>
#include <string>
#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

namespace MW::Common::Detail {

class CTrustedAuthorities {
public:
    // Every certificate of a PEM file; null when it cannot be read or holds none.
    static std::shared_ptr<CTrustedAuthorities> fromPemFile(const std::string& utf8Path);
    ~CTrustedAuthorities();
    CTrustedAuthorities(const CTrustedAuthorities&) = delete;
    CTrustedAuthorities& operator=(const CTrustedAuthorities&) = delete;

    // The certificate the server of `request` showed chains, without any other fault
    // than an authority unknown to the system, to one of these certificates.
    bool trustsServerOf(HINTERNET request) const;

private:
    explicit CTrustedAuthorities(HCERTSTORE store) : m_store(store) {}
    HCERTSTORE m_store;
};

} // namespace MW::Common::Detail
