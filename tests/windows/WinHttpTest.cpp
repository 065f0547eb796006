// The Windows build's own parts of the HTTP client: the system proxy read from WinHTTP's
// configuration (the user's browser proxy, then the machine's default), and a CA
// file that cannot be used.
#include "NetTestCommon.h"
#include "NetTestServers.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winhttp.h>

namespace MW::Test {
namespace {

using Cxx::Network::Http::HttpClient::ReadSystemProxy;
using MW::Common::CHttpsClient;

constexpr wchar_t kConnectionsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

// The user's browser proxy as Windows stores it: DefaultConnectionSettings, a version
// (0x46), a counter, the flags (2: a proxy), then the proxy, the bypass list and the
// script address, each as a length and its bytes.
void setUserProxy(const std::string& proxy, const std::string& bypass) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kConnectionsKey, 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, &key, nullptr),
              ERROR_SUCCESS);
    std::string blob;
    const auto dword = [&blob](std::uint32_t value) {
        blob.append(reinterpret_cast<const char*>(&value), sizeof value);
    };
    dword(0x46);
    dword(1);
    dword(proxy.empty() ? 1 : 3);
    for (const std::string& text : {proxy, bypass, std::string()}) {
        dword(static_cast<std::uint32_t>(text.size()));
        blob += text;
    }
    blob.append(32, '\0');
    const LONG set = ::RegSetValueExW(key, L"DefaultConnectionSettings", 0, REG_BINARY,
                                      reinterpret_cast<const BYTE*>(blob.data()),
                                      static_cast<DWORD>(blob.size()));
    ::RegCloseKey(key);
    ASSERT_EQ(set, ERROR_SUCCESS);
}

// Sets the machine's default WinHTTP proxy (the prefix's registry) for one test and
// leaves none behind. The prefix has no per-user browser proxy, so this one is the
// system proxy.
class NetWinHttpProxy : public NetTest {
protected:
    void TearDown() override {
        setDefaultProxy(L"", L"");
        setUserProxy("", "");
    }

    static void setDefaultProxy(const std::wstring& proxy, const std::wstring& bypass) {
        WINHTTP_PROXY_INFO info{};
        info.dwAccessType =
            proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY;
        info.lpszProxy = proxy.empty() ? nullptr : const_cast<wchar_t*>(proxy.c_str());
        info.lpszProxyBypass = bypass.empty() ? nullptr : const_cast<wchar_t*>(bypass.c_str());
        ASSERT_TRUE(::WinHttpSetDefaultProxyConfiguration(&info)) << ::GetLastError();
    }

    std::unique_ptr<CHttpsClient> client(bool noSystemProxy) {
        MW::Common::CTlsOptions tls;
        tls.caFile = server.caFile();
        // An explicit proxy with port 0 is no proxy: the system's is read instead.
        return std::make_unique<CHttpsClient>(u"Morrowick", u"127.0.0.1", u"POST",
                                              u16(kProxyAddress), 0, server.port(),
                                              noSystemProxy, tls);
    }

    HttpsTestServer server;
};

TEST_F(NetWinHttpProxy, NothingConfiguredLeavesServerAndBypass) {
    setDefaultProxy(L"", L"");
    std::uint32_t accessType = 9;
    std::u16string proxy = u"kept";
    std::u16string bypass = u"kept too";
    ReadSystemProxy(accessType, proxy, bypass);
    EXPECT_EQ(accessType, 0u);
    EXPECT_EQ(proxy, u"kept");
    EXPECT_EQ(bypass, u"kept too");
}

TEST_F(NetWinHttpProxy, TheMachineDefaultCarriesRequestsUnlessSwitchedOff) {
    TinyProxy proxy;
    const std::string address = proxy.host() + ":" + std::to_string(proxy.port());
    setDefaultProxy(std::wstring(address.begin(), address.end()), L"");
    std::uint32_t accessType = 0;
    std::u16string server16;
    std::u16string bypass;
    ReadSystemProxy(accessType, server16, bypass);
    EXPECT_EQ(accessType, 3u);
    EXPECT_EQ(server16, u16(address));
    EXPECT_EQ(bypass, u"");

    client(false)->SendRequest(u"/system", nullptr, u"");
    EXPECT_TRUE(proxy.sawConnectTo(server.port())) << proxy.log();
    client(true)->SendRequest(u"/direct", nullptr, u"");
    EXPECT_EQ(proxy.connects().size(), 1u) << proxy.log();
    EXPECT_EQ(server.requestCount(), 2u);
}

TEST_F(NetWinHttpProxy, TheUsersBrowserProxyComesBeforeTheMachineDefault) {
    TinyProxy proxy;
    const std::string address = proxy.host() + ":" + std::to_string(proxy.port());
    setDefaultProxy(L"machine.invalid:1", L"");
    setUserProxy(address, "*.example;<local>");
    std::uint32_t accessType = 0;
    std::u16string server16;
    std::u16string bypass;
    ReadSystemProxy(accessType, server16, bypass);
    EXPECT_EQ(accessType, 3u);
    EXPECT_EQ(server16, u16(address));
    EXPECT_EQ(bypass, u"*.example;<local>");
    client(false)->SendRequest(u"/user", nullptr, u"");
    EXPECT_TRUE(proxy.sawConnectTo(server.port())) << proxy.log();
}

TEST_F(NetWinHttpProxy, TheSystemBypassListIsHonoured) {
    TinyProxy proxy;
    const std::string address = proxy.host() + ":" + std::to_string(proxy.port());
    setDefaultProxy(std::wstring(address.begin(), address.end()), L"127.0.0.1");
    client(false)->SendRequest(u"/bypassed", nullptr, u"");
    EXPECT_TRUE(proxy.connects().empty()) << proxy.log();
    EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(NetWinHttpProxy, AnUnusableCaFileFailsBeforeAnythingIsSent) {
    for (const std::string& file : {m_tmp / "missing.pem", m_tmp / "no-certificate.pem"}) {
        writeFile(m_tmp / "no-certificate.pem", "not a certificate\n");
        MW::Common::CTlsOptions tls;
        tls.caFile = file;
        EXPECT_EQ(failureOf([&] {
                      CHttpsClient(u"Morrowick", u"127.0.0.1", u"POST", u"", 0, server.port(),
                                   true, tls)
                          .SendRequest(u"/", nullptr, u"");
                  }),
                  "Can't set security flags option.")
            << file;
    }
    EXPECT_EQ(server.requestCount(), 0u);
}

} // namespace
} // namespace MW::Test
