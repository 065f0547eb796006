#pragma once
// A proxy bypass list in either form the client meets: the named-proxy form
// ("<local>;*.example.org") and the environment's no_proxy form ("localhost,.example.org").

#include <string>
#include <string_view>

namespace Cxx::Network::Detail {

class CProxyBypass {
public:
    CProxyBypass() = default;
    explicit CProxyBypass(std::string_view list);

    // "<local>": host names without a dot go direct. curl has no such token, so the
    // client decides this per request.
    bool bypassesLocal() const { return m_local; }
    bool goesDirect(std::string_view host) const;
    // The remaining entries as a CURLOPT_NOPROXY list (possibly empty).
    const std::string& noProxyList() const { return m_noProxy; }

private:
    bool m_local = false;
    std::string m_noProxy;
};

} // namespace Cxx::Network::Detail
