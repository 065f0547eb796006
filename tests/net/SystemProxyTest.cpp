#include "SystemProxy.h"

#include "NetTestCommon.h"
#include "ProxyBypass.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace MW::Test {
namespace {

using Cxx::Network::Detail::CProxyBypass;
using Cxx::Network::Http::HttpClient::ReadSystemProxy;
using Cxx::Network::Http::HttpClient::SetMachineEnvironmentFile;

struct Result {
    std::uint32_t accessType = 99;
    std::u16string server = u"kept server";
    std::u16string bypass = u"kept bypass";
};

Result read() {
    Result r;
    ReadSystemProxy(r.accessType, r.server, r.bypass);
    return r;
}

using NetSystemProxy = NetTest;

TEST_F(NetSystemProxy, NothingConfiguredLeavesServerAndBypass) {
    const Result r = read();
    EXPECT_EQ(r.accessType, 0u);
    EXPECT_EQ(r.server, u"kept server");
    EXPECT_EQ(r.bypass, u"kept bypass");
}

TEST_F(NetSystemProxy, EnvironmentNamesAreTakenInOrder) {
    ::setenv("ALL_PROXY", "http://all-upper:1", 1);
    EXPECT_EQ(read().server, u"http://all-upper:1");
    ::setenv("all_proxy", "http://all-lower:2", 1);
    EXPECT_EQ(read().server, u"http://all-lower:2");
    ::setenv("HTTPS_PROXY", "http://https-upper:3", 1);
    EXPECT_EQ(read().server, u"http://https-upper:3");
    ::setenv("https_proxy", "proxy.example:8080", 1);
    ::setenv("NO_PROXY", "upper.example", 1);
    Result r = read();
    EXPECT_EQ(r.accessType, 3u);
    EXPECT_EQ(r.server, u"proxy.example:8080");
    EXPECT_EQ(r.bypass, u"upper.example");
    ::setenv("no_proxy", "localhost,.corp.example", 1);
    EXPECT_EQ(read().bypass, u"localhost,.corp.example");
    // An empty value counts as not set.
    ::setenv("https_proxy", "", 1);
    EXPECT_EQ(read().server, u"http://https-upper:3");
}

TEST_F(NetSystemProxy, EnvironmentWinsOverMachineFile) {
    writeFile(m_tmp / "environment", "https_proxy=http://machine:1\n");
    SetMachineEnvironmentFile(m_tmp / "environment");
    ::setenv("all_proxy", "http://user-env:2", 1);
    const Result r = read();
    EXPECT_EQ(r.server, u"http://user-env:2");
    EXPECT_EQ(r.bypass, u""); // a found proxy without bypass empties it
}

TEST_F(NetSystemProxy, MachineFileIsReadLikePamEnv) {
    writeFile(m_tmp / "environment", "# proxy for the office\n"
                                     "PATH=\"/usr/bin\"\n"
                                     "\n"
                                     "  HTTPS_PROXY = \"http://old:1\"\n"
                                     "export https_proxy='http://proxy.corp:3128'\n"
                                     "#https_proxy=http://commented:9\n"
                                     "no_proxy=\"localhost,127.0.0.1\"\n"
                                     "garbage line without equals\n");
    SetMachineEnvironmentFile(m_tmp / "environment");
    const Result r = read();
    EXPECT_EQ(r.accessType, 3u);
    EXPECT_EQ(r.server, u"http://proxy.corp:3128");
    EXPECT_EQ(r.bypass, u"localhost,127.0.0.1");
}

TEST_F(NetSystemProxy, MachineFileWithoutProxyMeansNone) {
    writeFile(m_tmp / "environment", "LANG=C.UTF-8\nno_proxy=localhost\n");
    SetMachineEnvironmentFile(m_tmp / "environment");
    const Result r = read();
    EXPECT_EQ(r.accessType, 0u);
    EXPECT_EQ(r.server, u"kept server");
}

TEST_F(NetSystemProxy, UnreadableMachineFileFails) {
    ::mkdir((m_tmp / "a-directory").c_str(), 0755);
    SetMachineEnvironmentFile(m_tmp / "a-directory");
    EXPECT_EQ(failureOf([] { read(); }), "Can't get IE proxy configuration from Registry.");
}

TEST_F(NetSystemProxy, TextThatIsNotUtf8Fails) {
    ::setenv("https_proxy", "http://bad\xFF:1", 1);
    EXPECT_EQ(failureOf([] { read(); }), "Can't get IE proxy configuration for local account.");
    ::unsetenv("https_proxy");
    writeFile(m_tmp / "environment", "https_proxy=http://bad\xC3:1\n");
    SetMachineEnvironmentFile(m_tmp / "environment");
    EXPECT_EQ(failureOf([] { read(); }), "Can't get IE proxy configuration from Registry.");
}

TEST(NetProxyBypass, LocalTokenAndListsOfBothForms) {
    const CProxyBypass local("<local>");
    EXPECT_TRUE(local.goesDirect("supportserver"));
    EXPECT_TRUE(local.goesDirect("localhost"));
    EXPECT_FALSE(local.goesDirect("127.0.0.1"));
    EXPECT_FALSE(local.goesDirect("example.org"));
    EXPECT_FALSE(local.goesDirect("::1"));
    EXPECT_EQ(local.noProxyList(), "");

    const CProxyBypass mixed("*.corp.example; <local>;10.0.0.0/8 localhost");
    EXPECT_TRUE(mixed.bypassesLocal());
    EXPECT_EQ(mixed.noProxyList(), ".corp.example,10.0.0.0/8,localhost");

    const CProxyBypass environment("localhost,.example.org");
    EXPECT_FALSE(environment.bypassesLocal());
    EXPECT_FALSE(environment.goesDirect("intranet"));
    EXPECT_EQ(environment.noProxyList(), "localhost,.example.org");
}

} // namespace
} // namespace MW::Test
