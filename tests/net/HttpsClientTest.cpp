#include "NetTestCommon.h"
#include "NetTestServers.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>
#ifndef _WIN32
#include <sched.h>
#include <sys/mount.h>
#endif

namespace MW::Test {
namespace {

using namespace Cxx::Network::Http::HttpClient;
using MW::Common::CHttpsClient;
using MW::Common::CTlsOptions;
using Set = CSimplePostParametersSet<'&'>;

std::string receiveAll(CHttpClient& client) {
    std::unique_ptr<char[]> buffer;
    std::size_t length = 0;
    client.ReceiveAll(buffer, length);
    return std::string(buffer.get(), length - 1);
}

class NetHttpsClient : public NetTest {
protected:
    HttpsTestServer server;

    std::unique_ptr<CHttpsClient> client(const std::string& method = "POST") {
        return clientFor(server.port(), server.caFile(), method);
    }
};

TEST_F(NetHttpsClient, PostsTheExactBodyBytes) {
    Set set;
    set.Add(std::make_shared<CSimpleTextParameter>(u"a"));
    set.Add(std::make_shared<CSimpleTextParameter>(u"b"));
    client()->SendRequest(u"/Api/ContuctUs", &set, u"");

    Set single;
    single.Add(std::make_shared<CSimpleTextParameter>(
        u"<Request><Name>J\u00f6rg</Name><RequestText>&lt; & \u20ac</RequestText></Request>"));
    client()->SendRequest(u"/Api/ContuctUs", &single, u"");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/Api/ContuctUs");
    EXPECT_EQ(requests[0].body, "a&b");
    EXPECT_EQ(requests[0].header("Content-Length"), "3");
    EXPECT_EQ(requests[0].header("User-Agent"), "Morrowick");
    EXPECT_FALSE(requests[0].hasHeader("Expect"));
    EXPECT_EQ(requests[1].body, "<Request><Name>J\xC3\xB6rg</Name><RequestText>&lt; & "
                                "\xE2\x82\xAC</RequestText></Request>");
}

TEST_F(NetHttpsClient, MethodIsCheckedBeforeAnythingIsSent) {
    Set set;
    set.Add(std::make_shared<CSimpleTextParameter>(u"x"));
    for (const char* method : {"put", "PUT", "", "POSTX", "DELETE"})
        EXPECT_EQ(failureOf([&] { client(method)->SendRequest(u"/", &set, u""); }),
                  "Request type has not been set. Client supports only GET and POST requests for "
                  "now.")
            << method;
    EXPECT_EQ(server.requestCount(), 0u);

    // An empty set fails as the set does, before sending.
    Set empty;
    EXPECT_EQ(failureOf([&] { client()->SendRequest(u"/", &empty, u""); }),
              "Parameters' list is empty.");
    EXPECT_EQ(server.requestCount(), 0u);

    client("post")->SendRequest(u"/lower", &set, u"");
    client("Get")->SendRequest(u"/get", nullptr, u"");
    client("GET")->SendRequest(u"/get-with-body", &set, u"");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, "x");
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].body, "");
    EXPECT_EQ(requests[2].method, "GET");
    EXPECT_EQ(requests[2].body, "x");
}

TEST_F(NetHttpsClient, ExtraHeadersAndAnEmptyPost) {
    client()->SendRequest(u"no-slash", nullptr, u"X-One: 1\r\nX-Two: two words\r\n");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/no-slash");
    EXPECT_EQ(requests[0].header("X-One"), "1");
    EXPECT_EQ(requests[0].header("X-Two"), "two words");
    EXPECT_EQ(requests[0].header("Content-Length"), "0");
}

TEST_F(NetHttpsClient, ServerErrorDoesNotFailTheRequest) {
    auto c = client();
    c->SendRequest(u"/status/500", nullptr, u"");
    EXPECT_EQ(c->LastStatus(), 500);
    EXPECT_EQ(receiveAll(*c), "status page");
}

TEST_F(NetHttpsClient, ReceiveAllAddsThreeZeroBytes) {
    auto c = client("GET");
    c->SendRequest(u"/bytes/1000", nullptr, u"");
    std::unique_ptr<char[]> buffer;
    std::size_t length = 0;
    c->ReceiveAll(buffer, length);
    ASSERT_EQ(length, 1001u);
    EXPECT_EQ(std::string(buffer.get(), 1000), expectedBody(1000));
    EXPECT_EQ(std::string(buffer.get() + 1000, 3), std::string(3, '\0'));

    // An empty body: length 1, three zero bytes.
    c->SendRequest(u"/bytes/0", nullptr, u"");
    c->ReceiveAll(buffer, length);
    EXPECT_EQ(length, 1u);
    EXPECT_EQ(std::string(buffer.get(), 3), std::string(3, '\0'));
}

TEST_F(NetHttpsClient, OneClientSendsAgain) {
    auto c = client();
    c->SendRequest(u"/bytes/100000", nullptr, u""); // body left unread
    c->SendRequest(u"/second", nullptr, u"");
    EXPECT_EQ(receiveAll(*c), "OK");
    EXPECT_EQ(server.requestCount(), 2u);
}

std::unique_ptr<CHttpsClient> tlsClient(std::uint16_t port, const CTlsOptions& tls) {
    return std::make_unique<CHttpsClient>(u"Morrowick", u"127.0.0.1", u"POST", u"", 0, port, true,
                                          tls);
}

TEST_F(NetHttpsClient, SelfSignedCertificateIsRefusedByDefault) {
    CTlsOptions relaxed;
    relaxed.relaxCertificateChecks = true;
    CTlsOptions trusted;
    trusted.caFile = server.caFile();
    EXPECT_EQ(failureOf([&] { tlsClient(server.port(), {})->SendRequest(u"/", nullptr, u""); }),
              "Can't send request to the server.");
    EXPECT_EQ(server.requestCount(), 0u);
    tlsClient(server.port(), trusted)->SendRequest(u"/trusted", nullptr, u"");
    tlsClient(server.port(), relaxed)->SendRequest(u"/relaxed", nullptr, u"");

    // A certificate for another name: its own CA file is not enough, the relaxations are.
    HttpsTestServer::Options options;
    options.certificateNames = "DNS:elsewhere.example";
    HttpsTestServer other(options);
    trusted.caFile = other.caFile();
    EXPECT_EQ(failureOf([&] { tlsClient(other.port(), trusted)->SendRequest(u"/", nullptr, u""); }),
              "Can't send request to the server.");
    tlsClient(other.port(), relaxed)->SendRequest(u"/relaxed", nullptr, u"");
    EXPECT_EQ(other.requestCount(), 1u);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].path, "/trusted");
    EXPECT_EQ(requests[1].path, "/relaxed");
}

TEST_F(NetHttpsClient, ACaFileOfAnotherServerIsRefusedBeforeTheBodyLeaves) {
    HttpsTestServer other;
    CTlsOptions wrongAuthority;
    wrongAuthority.caFile = other.caFile();
    Set set;
    set.Add(std::make_shared<CSimpleTextParameter>(u"name=secret"));
    EXPECT_EQ(failureOf([&] {
                  tlsClient(server.port(), wrongAuthority)->SendRequest(u"/", &set, u"");
              }),
              "Can't send request to the server.");
    // The TLS handshake ends it, or (WinHTTP) the check after the request line and
    // headers: either way the server never sees the body.
    for (const auto& request : server.requests())
        EXPECT_EQ(request.body, "");
    EXPECT_EQ(other.requestCount(), 0u);
}

#ifndef _WIN32
// A private mount namespace over the system store: Linux only.
TEST_F(NetHttpsClient, ACaFileReplacesTheSystemAuthorities) {
    // The system's authorities, replaced for one thread of this test (a private mount
    // namespace over /etc/ssl/certs), trust this server; another CA file does not.
    TempDir store;
    const auto hash = runCommand({"openssl", "x509", "-hash", "-noout", "-in", server.caFile()});
    ASSERT_EQ(hash.status, 0) << hash.err;
    const std::string certificate = readFile(server.caFile());
    writeFile(store / (hash.out.substr(0, hash.out.find('\n')) + ".0"), certificate);
    writeFile(store / "ca-certificates.crt", certificate);
    TempDir otherDir;
    // Under another name: a certificate of the same name would hide the system's.
    const TestCertificate other =
        makeTestCertificate(otherDir.path(), kLoopbackNames, "/CN=Another authority");

    bool isolated = false;
    std::string withSystem, withOtherFile;
    std::thread([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(store.path().c_str(), "/etc/ssl/certs", nullptr, MS_BIND, nullptr) != 0)
            return;
        isolated = true;
        withSystem =
            failureOf([&] { tlsClient(server.port(), {})->SendRequest(u"/system", nullptr, u""); });
        CTlsOptions tls;
        tls.caFile = other.certFile;
        withOtherFile =
            failureOf([&] { tlsClient(server.port(), tls)->SendRequest(u"/other", nullptr, u""); });
    }).join();
    if (!isolated)
        GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(withSystem, "no exception");
    EXPECT_EQ(withOtherFile, "Can't send request to the server.");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/system");
}
#endif

TEST_F(NetHttpsClient, UnreachableServersFailWithoutHanging) {
    const std::uint16_t closed = freeLoopbackPort();
    EXPECT_EQ(failureOf([&] { clientFor(closed, "")->SendRequest(u"/", nullptr, u""); }),
              "Can't send request to the server.");
    EXPECT_EQ(
        failureOf([] {
            clientFor(443, "", "POST", "no-such-host.invalid")->SendRequest(u"/", nullptr, u"");
        }),
        "Can't send request to the server.");
    // The server takes the request and hangs up without a response.
    EXPECT_EQ(failureOf([&] { client()->SendRequest(u"/close", nullptr, u""); }),
              "Can't receive response from the server.");
}

TEST_F(NetHttpsClient, BadHostOrProxyIsRefusedAtSetup) {
    EXPECT_EQ(failureOf([] { CHttpsClient(u"Morrowick", u"", u"POST", u"", 0, 443, true); }),
              "Can't connect to the server.");
    EXPECT_EQ(failureOf([] { CHttpsClient(u"Morrowick", u"a/b", u"POST", u"", 0, 443, true); }),
              "Can't connect to the server.");
    EXPECT_EQ(failureOf([] {
                  CHttpsClient(u"Morrow\nick", u"host.example", u"POST", u"", 0, 443, true);
              }),
              "Can't open http connection to the server.");
    CHttpsClient c(u"Morrowick", u"host.example", u"POST", u"", 0, 443, true);
    EXPECT_EQ(failureOf([&] { c.ReopenWithProxy(u"proxy:1", u"", 7); }),
              "Can't open http connection to the server.");
}

TEST_F(NetHttpsClient, ReceivingWithoutARequestFails) {
    auto c = client();
    std::unique_ptr<char[]> buffer;
    std::size_t length = 0;
    EXPECT_EQ(
        failureOf([&] { c->ReceiveAll(buffer, length); }),
        "Error by receiving data from server ( synchronously ).                                  "
        "Available data size is unknown.");
}

TEST_F(NetHttpsClient, ServerBasicAndDigestAreSettledWithTheProvidersCredentials) {
    CountingProvider provider(u"user", u"secret");
#ifdef _WIN32
    // Wine's WinHTTP has no Digest (Windows' has): Basic only under Wine.
    const std::vector<const char16_t*> paths = {u"/basic/x"};
    const char* lastScheme = "Basic ";
#else
    const std::vector<const char16_t*> paths = {u"/basic/x", u"/digest/x"};
    const char* lastScheme = "Digest ";
#endif
    for (const char16_t* path : paths) {
        auto c = client();
        c->SetCredentialsProvider(&provider);
        Set set;
        set.Add(std::make_shared<CSimpleTextParameter>(u"body"));
        c->SendRequest(path, &set, u"");
        EXPECT_EQ(c->LastStatus(), 200);
        EXPECT_EQ(receiveAll(*c), "OK");
    }
    EXPECT_EQ(provider.calls, static_cast<int>(paths.size())); // once per request
    const auto requests = server.requests();
    ASSERT_GE(requests.size(), 2 * paths.size());
    EXPECT_EQ(requests.front().header("Authorization"), ""); // first without credentials
    EXPECT_TRUE(requests.back().header("Authorization").rfind(lastScheme, 0) == 0)
        << requests.back().header("Authorization");
    EXPECT_EQ(requests.back().body, "body"); // the resend carries the same body
}

TEST_F(NetHttpsClient, WrongOrMissingCredentialsEndInAuthenticationFailure) {
    CountingProvider wrong(u"user", u"wrong");
    auto c = client();
    c->SetCredentialsProvider(&wrong);
    EXPECT_EQ(failureOf([&] { c->SendRequest(u"/digest/x", nullptr, u""); }),
              "Authentication proxy fails.");
    EXPECT_EQ(wrong.calls, 1);
    // Without a provider the handshake still runs, with empty credentials.
    EXPECT_EQ(failureOf([&] { client()->SendRequest(u"/basic/x", nullptr, u""); }),
              "Authentication proxy fails.");
    // After clearing the provider no credentials are asked for.
    c->SetCredentialsProvider(nullptr);
    EXPECT_EQ(failureOf([&] { c->SendRequest(u"/basic/x", nullptr, u""); }),
              "Authentication proxy fails.");
    EXPECT_EQ(wrong.calls, 1);
}

} // namespace
} // namespace MW::Test
