// The system proxy reader: KEY=VALUE lines of the machine's environment file and
// the bypass lists it finds there. Input: the file. A proxy found is never empty
// and its bypass list becomes a clean CURLOPT_NOPROXY list; text that is not
// UTF-8 fails with the client's exception, nothing else.
#include "CException.h"
#include "FuzzInput.h"
#include "ProxyBypass.h"
#include "SystemProxy.h"
#include "Text.h"

namespace {

using Cxx::Network::Detail::CProxyBypass;

// curl reads the list as names separated by commas: no empty item, no other
// separator, and the "<local>" token is decided by the client, never passed on.
void checkBypass(std::string_view list) {
    const CProxyBypass bypass(list);
    const std::string& noProxy = bypass.noProxyList();
    if (noProxy.find_first_of("; \t\r\n") != std::string::npos || noProxy.starts_with(',') ||
        noProxy.ends_with(',') || noProxy.find(",,") != std::string::npos)
        MW::Fuzz::fail("no-proxy list \"" + noProxy + "\" is not comma-separated names");
    for (const std::string& item : MW::Fuzz::split(noProxy, ','))
        if (item == "<local>")
            MW::Fuzz::fail("<local> passed on to curl");
    if (bypass.goesDirect("") || bypass.goesDirect("host.example") || bypass.goesDirect("::1"))
        MW::Fuzz::fail("an empty, dotted or IPv6 host goes direct");
    if (bypass.goesDirect("intranet") != bypass.bypassesLocal())
        MW::Fuzz::fail("a dotless host ignores <local>");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Only the file counts: the environment's proxy would win over it.
    for (const char* name :
         {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
        ::unsetenv(name);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MW::Fuzz::CMemoryFile file;
    const std::string_view input = MW::Fuzz::asText(data, size);
    file.assign(input);
    Cxx::Network::Http::HttpClient::SetMachineEnvironmentFile(file.path());

    std::uint32_t accessType = 99;
    std::u16string server = u"kept";
    std::u16string bypass = u"kept";
    try {
        Cxx::Network::Http::HttpClient::ReadSystemProxy(accessType, server, bypass);
    } catch (const Cxx::Network::Exception::CNetworkException&) {
        return 0;
    }
    if (accessType == 0) {
        if (server != u"kept" || bypass != u"kept")
            MW::Fuzz::fail("no proxy found, but server or bypass changed");
    } else if (accessType != 3 || server.empty()) {
        MW::Fuzz::fail("a proxy found without a server");
    } else {
        checkBypass(MW::Common::utf16ToUtf8Strict(bypass).value());
    }
    // Any bytes as a list, too (the explicit proxy's list comes from the user).
    checkBypass(input);
    return 0;
}
