// The client's bounds: no server or proxy can hold the caller for ever or fill
// its memory, whatever phase it stalls in. The limits are shortened so the tests
// stay short; each test also checks that the bound it is about ended the request,
// not a longer one.

#include "NetTestCommon.h"
#include "NetTestServers.h"

#include <chrono>
#include <gtest/gtest.h>

namespace MW::Test {
namespace {

using namespace Cxx::Network::Http::HttpClient;
using MW::Common::CHttpsClient;
using Clock = std::chrono::steady_clock;

constexpr char kReceiveResponse[] = "Can't receive response from the server.";
constexpr char kSyncAvailable[] =
    "Error by receiving data from server ( synchronously ).                                  "
    "Available data size is unknown.";
constexpr char kSyncRead[] = "Error by receiving data from server ( synchronously ).";
constexpr char kAsyncRead[] = "Error by receiving data from server ( asynchronously ).";

// Short bounds: a second of stall, and a total far beyond what the stall needs.
CTransferLimits stallLimits() {
    CTransferLimits limits;
    limits.stall = std::chrono::seconds(1);
    limits.total = std::chrono::seconds(60);
    return limits;
}

class NetBounds : public NetTest {
protected:
    std::unique_ptr<CHttpsClient> client(const CTransferLimits& limits) {
        auto c = clientFor(server.port(), server.caFile(), "GET");
        c->SetLimits(limits);
        return c;
    }
    // Runs `action`, returning its failure and how long it took.
    template <typename Action> std::pair<std::string, Clock::duration> timed(Action action) {
        const auto start = Clock::now();
        std::string failure = failureOf(action);
        return {failure, Clock::now() - start};
    }

    HttpsTestServer server;
};

TEST_F(NetBounds, AServerSilentAfterTheHandshakeEndsWithTheReceiveFailure) {
    const CTransferLimits limits = stallLimits();
    auto c = client(limits);
    const auto [failure, took] = timed([&] { c->SendRequest(u"/silent", nullptr, u""); });
    EXPECT_EQ(failure, kReceiveResponse);
    EXPECT_LT(took, limits.total) << "the stall bound did not end it";
    ASSERT_EQ(server.requestCount(), 1u); // the request was made and taken
    // The client is still good for the next request.
    c->SendRequest(u"/after", nullptr, u"");
    EXPECT_EQ(c->LastStatus(), 200);
}

TEST_F(NetBounds, SilenceThroughAProxyOrFromTheProxyItselfEnds) {
    CTransferLimits limits = stallLimits();
    limits.connect = std::chrono::seconds(1);
    // Through a tunnel the stall bound applies as directly.
    TinyProxy proxy;
    CHttpsClient tunnelled(u"Morrowick", u"127.0.0.1", u"GET", u16(proxy.host()), proxy.port(),
                           server.port(), true, MW::Common::CTlsOptions{false, server.caFile()});
    tunnelled.SetLimits(limits);
    auto [failure, took] = timed([&] { tunnelled.SendRequest(u"/silent", nullptr, u""); });
    EXPECT_EQ(failure, kReceiveResponse);
    EXPECT_LT(took, limits.total);
    EXPECT_TRUE(proxy.sawConnectTo(server.port())) << proxy.log();

    // A proxy that takes the connection and never answers CONNECT: the request
    // never left, and the connect bound ends the wait.
    {
        const SilentListener listener;
        CHttpsClient silent(u"Morrowick", u"127.0.0.1", u"GET", u16(kProxyAddress), listener.port(),
                            server.port(), true, MW::Common::CTlsOptions{false, server.caFile()});
        silent.SetLimits(limits);
        std::tie(failure, took) = timed([&] { silent.SendRequest(u"/", nullptr, u""); });
    }
    EXPECT_EQ(failure, "Can't send request to the server.");
    EXPECT_LT(took, limits.total);
    EXPECT_EQ(server.requestCount(), 1u); // the tunnelled one only
}

TEST_F(NetBounds, TricklingHeadersOrBodiesEndWithTheReceiveFailures) {
    // Less than a byte a second: the stall bound ends each phase.
    const CTransferLimits limits = stallLimits();
    auto c = client(limits);
    auto [failure, took] = timed([&] { c->SendRequest(u"/tricklehead/1500", nullptr, u""); });
    EXPECT_EQ(failure, kReceiveResponse);
    EXPECT_LT(took, limits.total);

    std::unique_ptr<char[]> buffer;
    std::size_t length = 0;
    c->SendRequest(u"/trickle/1000/1500", nullptr, u"");
    std::tie(failure, took) = timed([&] { c->ReceiveAll(buffer, length); });
    EXPECT_EQ(failure, kSyncAvailable);
    EXPECT_LT(took, limits.total);
    EXPECT_EQ(buffer, nullptr);

    struct CountingReceiver : IDataReceiver {
        bool OnData(const char*, std::size_t, std::size_t bytesRead, std::uint64_t,
                    std::uint64_t) override {
            received += bytesRead;
            return true;
        }
        std::size_t received = 0;
    } receiver;
    c->SendRequest(u"/trickle/1000/1500", nullptr, u"");
    std::tie(failure, took) = timed([&] { c->ReceiveInChunks(receiver, 100); });
    EXPECT_EQ(failure, kAsyncRead);
    EXPECT_LT(took, limits.total);
    EXPECT_LT(receiver.received, 1000u);
}

TEST_F(NetBounds, ATrickleFastEnoughForTheStallBoundMeetsTheTotalBound) {
    // Ten bytes a second for a body of a hundred thousand: hours, but for the total.
    CTransferLimits limits;
    limits.stall = std::chrono::seconds(30);
    limits.total = std::chrono::seconds(3);
    auto c = client(limits);
    c->SendRequest(u"/trickle/100000/100", nullptr, u"");
    std::unique_ptr<char[]> buffer;
    std::size_t length = 0;
    const auto [failure, took] = timed([&] { c->ReceiveAll(buffer, length); });
    EXPECT_EQ(failure, kSyncAvailable);
    EXPECT_LT(took, limits.stall);
}

TEST_F(NetBounds, ReceiveAllTakesBodiesUpToItsCapOnly) {
    CTransferLimits limits;
    limits.maxReceiveAll = 1024 * 1024;
    auto c = client(limits);
    std::unique_ptr<char[]> buffer;
    std::size_t length = 0;
    c->SendRequest(u"/bytes/1048576", nullptr, u"");
    c->ReceiveAll(buffer, length);
    EXPECT_EQ(length, 1048577u);
    EXPECT_EQ(std::string(buffer.get(), length - 1), expectedBody(1048576));

    buffer.reset();
    c->SendRequest(u"/bytes/1048577", nullptr, u"");
    EXPECT_EQ(failureOf([&] { c->ReceiveAll(buffer, length); }), kSyncRead);
    EXPECT_EQ(buffer, nullptr);

    // An endless body with the default cap: it stops there, and the client goes on.
    auto endless = client(CTransferLimits{});
    endless->SendRequest(u"/endless", nullptr, u"");
    EXPECT_EQ(failureOf([&] { endless->ReceiveAll(buffer, length); }), kSyncRead);
    endless->SendRequest(u"/after", nullptr, u"");
    EXPECT_EQ(endless->LastStatus(), 200);
}

TEST_F(NetBounds, AProxyRefusingWithAnEndlessBodyReturns) {
    if (underWine())
        GTEST_SKIP() << kWineProxyAuthentication;
    HttpsTestServer::Options options;
    options.refusingProxy = true;
    options.endlessRefusal = true;
    HttpsTestServer proxy(options);
    // Without credentials, as the Contact tab sends.
    CTransferLimits limits;
    limits.total = std::chrono::seconds(2);
    CHttpsClient c(u"Morrowick", u"127.0.0.1", u"POST", u16(kProxyAddress), proxy.port(), server.port(),
                   true, MW::Common::CTlsOptions{false, server.caFile()});
    c.SetLimits(limits);
    const auto [failure, took] = timed([&] { c.SendRequest(u"/", nullptr, u""); });
    EXPECT_EQ(failure, "Authentication proxy fails.");
    EXPECT_LT(took, std::chrono::seconds(30)) << "a bound other than the total ended it";
    EXPECT_GE(proxy.requestCount(), 1u);
    EXPECT_EQ(server.requestCount(), 0u);
}

} // namespace
} // namespace MW::Test
