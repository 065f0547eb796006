#include "ProxyBypass.h"

namespace Cxx::Network::Detail {

CProxyBypass::CProxyBypass(std::string_view list) {
    constexpr std::string_view kSeparators = ";, \t\r\n";
    std::size_t pos = 0;
    while (pos < list.size()) {
        const auto start = list.find_first_not_of(kSeparators, pos);
        if (start == std::string_view::npos)
            break;
        auto end = list.find_first_of(kSeparators, start);
        if (end == std::string_view::npos)
            end = list.size();
        std::string_view entry = list.substr(start, end - start);
        pos = end;
        if (entry == "<local>") {
            m_local = true;
            continue;
        }
        // "*.example.org" means the domain's hosts, which curl writes ".example.org".
        if (entry.size() > 1 && entry.substr(0, 2) == "*.")
            entry.remove_prefix(1);
        if (!m_noProxy.empty())
            m_noProxy += ',';
        m_noProxy += entry;
    }
}

bool CProxyBypass::goesDirect(std::string_view host) const {
    // An IPv6 literal is an address, not a local name.
    return m_local && !host.empty() && host.find_first_of(".:") == std::string_view::npos;
}

} // namespace Cxx::Network::Detail
