#include "SystemProxy.h"

#include "CException.h"
#include "Messages.h"

#include <windows.h>
#include <winhttp.h>

namespace Cxx::Network::Http::HttpClient {
namespace {

// WinHTTP hands these texts over to be freed with GlobalFree.
class CGlobalText {
public:
    explicit CGlobalText(LPWSTR text) : m_text(text) {}
    ~CGlobalText() {
        if (m_text)
            ::GlobalFree(m_text);
    }
    CGlobalText(const CGlobalText&) = delete;
    CGlobalText& operator=(const CGlobalText&) = delete;
    bool empty() const { return !m_text || !*m_text; }
    std::u16string text() const {
        return m_text ? std::u16string(reinterpret_cast<const char16_t*>(m_text)) : std::u16string();
    }

private:
    LPWSTR m_text;
};

} // namespace

// The user's browser configuration first, then the machine's WinHTTP default; automatic
// detection and configuration scripts are not consulted.
void ReadSystemProxy(std::uint32_t& accessType, std::u16string& server, std::u16string& bypass) {
    constexpr std::uint32_t kNamedProxy = 3;
    accessType = 0;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user{};
    if (!::WinHttpGetIEProxyConfigForCurrentUser(&user))
        throw Exception::CNetworkException(Messages::kUserProxyConfig);
    {
        const CGlobalText autoConfig(user.lpszAutoConfigUrl);
        const CGlobalText proxy(user.lpszProxy);
        const CGlobalText list(user.lpszProxyBypass);
        if (!proxy.empty()) {
            accessType = kNamedProxy;
            server = proxy.text();
            bypass = list.text();
            return;
        }
    }
    WINHTTP_PROXY_INFO machine{};
    if (!::WinHttpGetDefaultProxyConfiguration(&machine))
        throw Exception::CNetworkException(Messages::kMachineProxyConfig);
    const CGlobalText proxy(machine.lpszProxy);
    const CGlobalText list(machine.lpszProxyBypass);
    if (!proxy.empty()) {
        accessType = kNamedProxy;
        server = proxy.text();
        bypass = list.text();
    }
}

} // namespace Cxx::Network::Http::HttpClient
