// The header block's parsing without a connection: the cases a real server
// rarely sends, which the tests against the local server cannot reach.
#include "ResponseHeaders.h"

#include <gtest/gtest.h>

namespace {

using Cxx::Network::Detail::contentLength;
using Cxx::Network::Detail::offeredSchemes;
using Cxx::Network::Detail::parseHeaderLine;
using Kind = Cxx::Network::Detail::SHeaderLine::EKind;

TEST(NetResponseHeaders, StatusLineCodeIsExactlyThreeDigits) {
    EXPECT_EQ(parseHeaderLine("HTTP/1.1 407 Proxy Authentication Required\r\n").status, 407);
    EXPECT_EQ(parseHeaderLine("HTTP/2 200 \r\n").status, 200);
    EXPECT_EQ(parseHeaderLine("HTTP/1.1 200").status, 200);
    // Leading digits of something else are no status: a 20 would pass for a
    // response below 200 and a -5 for none at all.
    for (const char* line : {"HTTP/1.1 20x OK\r\n", "HTTP/1.1  200 OK\r\n", "HTTP/1.1 -5\r\n",
                             "HTTP/1.1 +20\r\n", "HTTP/1.1 20", "HTTP/1.1\r\n", "HTTP/"}) {
        const auto parsed = parseHeaderLine(line);
        EXPECT_EQ(parsed.kind, Kind::status) << line;
        EXPECT_EQ(parsed.status, 0) << line;
    }
}

TEST(NetResponseHeaders, FieldsBlankLinesAndTheRest) {
    const auto field = parseHeaderLine(" Content-Length :  42 \r\n");
    EXPECT_EQ(field.kind, Kind::field);
    EXPECT_EQ(field.name, "Content-Length");
    EXPECT_EQ(field.value, "42");
    const auto empty = parseHeaderLine("X-Empty:\r\n");
    EXPECT_EQ(empty.kind, Kind::field);
    EXPECT_EQ(empty.value, "");
    EXPECT_EQ(parseHeaderLine("\r\n").kind, Kind::end);
    EXPECT_EQ(parseHeaderLine(" \t\n").kind, Kind::end);
    EXPECT_EQ(parseHeaderLine("").kind, Kind::end);
    EXPECT_EQ(parseHeaderLine("no colon here\r\n").kind, Kind::other);
    EXPECT_EQ(parseHeaderLine("http/1.1 200 OK\r\n").kind,
              Kind::other); // the prefix is case-sensitive
}

TEST(NetResponseHeaders, SchemesOfEveryChallengeWithoutTheirParameters) {
    EXPECT_EQ(offeredSchemes({R"(Digest realm="r", nonce="n", qop="auth", Basic realm="r")", "NTLM",
                              "  Negotiate\ttoken68"}),
              (std::vector<std::string>{"digest", "basic", "ntlm", "negotiate"}));
    EXPECT_TRUE(offeredSchemes({"", ",", " , \t,", "realm=x"}).empty());
}

TEST(NetResponseHeaders, ContentLengthIsDigitsOnlyAndTheFirstValue) {
    EXPECT_EQ(contentLength({"0"}), 0u);
    EXPECT_EQ(contentLength({"18446744073709551615"}), UINT64_MAX);
    EXPECT_EQ(contentLength({"12", "99"}), 12u);
    for (const char* bad : {"", "-1", "+1", " 1", "1 ", "0x10", "1,1", "18446744073709551616"})
        EXPECT_EQ(contentLength({bad}), std::nullopt) << bad;
    EXPECT_EQ(contentLength({}), std::nullopt);
}

} // namespace
