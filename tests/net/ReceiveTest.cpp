#include "NetTestCommon.h"
#include "NetTestServers.h"

#include <gtest/gtest.h>

namespace MW::Test {
namespace {

using namespace Cxx::Network::Http::HttpClient;

// Checks every byte against the server's pattern as it comes, keeping nothing.
class PatternReceiver : public IDataReceiver {
public:
    explicit PatternReceiver(std::size_t stopAfter = SIZE_MAX) : m_stopAfter(stopAfter) {}

    bool OnData(const char* buffer, std::size_t bufferSize, std::size_t bytesRead,
                std::uint64_t totalReceived, std::uint64_t contentLength) override {
        ++calls;
        largestPiece = std::max(largestPiece, bytesRead);
        EXPECT_EQ(bufferSize, chunkSize);
        EXPECT_EQ(totalReceived, received + bytesRead);
        lastContentLength = contentLength;
        for (std::size_t i = 0; i < bytesRead; ++i)
            if (static_cast<unsigned char>(buffer[i]) != (received + i) % 251) {
                ++wrongBytes;
                break;
            }
        received += bytesRead;
        return calls < m_stopAfter;
    }

    std::size_t chunkSize = 0;
    std::size_t calls = 0;
    std::size_t largestPiece = 0;
    std::uint64_t received = 0;
    std::uint64_t lastContentLength = 0;
    int wrongBytes = 0;

private:
    std::size_t m_stopAfter;
};

class NetReceive : public NetTest {
protected:
    HttpsTestServer server;
};

TEST_F(NetReceive, SendRequestReturnsAtTheHeadersBeforeTheBody) {
    auto c = clientFor(server.port(), server.caFile(), "GET");
    // The server sends the body only when told, after SendRequest has returned; a
    // client waiting for the body here would see the server hang up after 30 s.
    c->SendRequest(u"/hold/5000", nullptr, u"");
    EXPECT_EQ(c->LastStatus(), 200);
    server.releaseHeldBodies();
    std::unique_ptr<char[]> buffer;
    std::size_t length = 0;
    c->ReceiveAll(buffer, length);
    ASSERT_EQ(length, 5001u);
    EXPECT_EQ(std::string(buffer.get(), 5000), expectedBody(5000));
}

TEST_F(NetReceive, InChunksDeliversALargeBodyExactly) {
    constexpr std::size_t kSize = 50 * 1024 * 1024 + 7;
    auto c = clientFor(server.port(), server.caFile(), "GET");
    c->SendRequest(u"/bytes/" + u16(std::to_string(kSize)), nullptr, u"");
    PatternReceiver receiver;
    receiver.chunkSize = 64 * 1024;
    c->ReceiveInChunks(receiver, receiver.chunkSize);
    EXPECT_EQ(receiver.received, kSize);
    EXPECT_EQ(receiver.lastContentLength, kSize);
    EXPECT_EQ(receiver.largestPiece, receiver.chunkSize);
    EXPECT_EQ(receiver.calls, (kSize + receiver.chunkSize - 1) / receiver.chunkSize);
    EXPECT_EQ(receiver.wrongBytes, 0);
}

TEST_F(NetReceive, InChunksStopsWhenTheReceiverSaysSo) {
    auto c = clientFor(server.port(), server.caFile(), "GET");
    c->SendRequest(u"/bytes/20000000", nullptr, u"");
    PatternReceiver receiver(3);
    receiver.chunkSize = 1000;
    c->ReceiveInChunks(receiver, receiver.chunkSize);
    EXPECT_EQ(receiver.calls, 3u);
    EXPECT_EQ(receiver.received, 3000u);
    EXPECT_EQ(receiver.wrongBytes, 0);
    // The rest stays unread; the client can still be used and destroyed.
    c->SendRequest(u"/next", nullptr, u"");
}

TEST_F(NetReceive, InChunksNeedsAContentLength) {
    auto c = clientFor(server.port(), server.caFile(), "GET");
    c->SendRequest(u"/chunked/300000", nullptr, u"");
    PatternReceiver receiver;
    receiver.chunkSize = 4096;
    EXPECT_EQ(failureOf([&] { c->ReceiveInChunks(receiver, receiver.chunkSize); }),
              "Error by receiving data from server ( asynchronously ). Available data size is "
              "unknown. Can't get content length header.");
    EXPECT_EQ(receiver.calls, 0u);

    // The same body read whole.
    c->SendRequest(u"/chunked/300000", nullptr, u"");
    std::unique_ptr<char[]> buffer;
    std::size_t length = 0;
    c->ReceiveAll(buffer, length);
    ASSERT_EQ(length, 300001u);
    EXPECT_EQ(std::string(buffer.get(), 300000), expectedBody(300000));
}

TEST_F(NetReceive, CutBodyFailsBothWays) {
    auto c = clientFor(server.port(), server.caFile(), "GET");
    c->SendRequest(u"/truncated/400000", nullptr, u"");
    std::unique_ptr<char[]> buffer;
    std::size_t length = 0;
    EXPECT_EQ(
        failureOf([&] { c->ReceiveAll(buffer, length); }),
        "Error by receiving data from server ( synchronously ).                                  "
        "Available data size is unknown.");
    EXPECT_EQ(buffer, nullptr);

    c->SendRequest(u"/truncated/400000", nullptr, u"");
    PatternReceiver receiver;
    receiver.chunkSize = 8192;
    EXPECT_EQ(failureOf([&] { c->ReceiveInChunks(receiver, receiver.chunkSize); }),
              "Error by receiving data from server ( asynchronously ).");
    EXPECT_LE(receiver.received, 200000u);
    EXPECT_EQ(receiver.wrongBytes, 0);
}

} // namespace
} // namespace MW::Test
