// The support message's fields, body and one-a-day rule.

#include "SupportMessage.h"

#include <gtest/gtest.h>

namespace MW::Client {
namespace {

TEST(SupportMessage, TrimmedFieldsAndBlankOnesAreMissing) {
    const SSupportMessage m = TrimmedMessage("  <Ann & Bob>  ", "\ta&b@example.org ",
                                             "\n Line one < two\nZo\xc3\xab\n\n");
    EXPECT_EQ(m.name, "<Ann & Bob>");
    EXPECT_EQ(m.email, "a&b@example.org");
    EXPECT_EQ(m.text, "Line one < two\nZo\xc3\xab");
    EXPECT_TRUE(IsComplete(m));
    EXPECT_FALSE(IsComplete(TrimmedMessage(" \t\xc2\xa0", "a@b", "text")));
    EXPECT_FALSE(IsComplete(TrimmedMessage("Ann", "", "text")));
    EXPECT_FALSE(IsComplete(TrimmedMessage("Ann", "a@b", "\n \r\n")));
}

TEST(SupportMessage, TheBodyIsTheTemplateWithTheValuesUnescaped) {
    EXPECT_EQ(RequestBody({"ab", "cd", "ef"}),
              "<Request><Name>ab</Name><Email>cd</Email><RequestText>ef</RequestText></Request>");
    EXPECT_EQ(RequestBody({"<a>", "&", "x\ny"}),
              "<Request><Name><a></Name><Email>&</Email><RequestText>x\ny</RequestText></Request>");
}

TEST(SupportMessage, OnlyAWholeNumberNamingTodayBlocks) {
    EXPECT_TRUE(SentOn("45", 45));
    EXPECT_TRUE(SentOn(" 45 ", 45));
    EXPECT_TRUE(SentOn("+45", 45));
    EXPECT_FALSE(SentOn("45", 46));
    EXPECT_FALSE(SentOn("", 45));
    EXPECT_FALSE(SentOn("45th", 45));
    EXPECT_FALSE(SentOn("forty-five", 45));
    EXPECT_FALSE(SentOn("4.5e1", 45));
    EXPECT_FALSE(SentOn("0", 0)); // days count from 1
    EXPECT_TRUE(SentOn("366", 366));
    EXPECT_FALSE(SentOn("367", 367));
    EXPECT_FALSE(SentOn("99999999999999999999", 45));
}

} // namespace
} // namespace MW::Client

namespace MW::Client {
namespace {

// A reply outside 2xx (an error page, a redirect to a captive portal) is no
// delivery, whatever its body says.
TEST(SupportMessage, OnlyA2xxStatusIsADelivery) {
    for (const long status : {200L, 201L, 204L, 299L})
        EXPECT_TRUE(Delivered(status)) << status;
    for (const long status : {0L, 100L, 199L, 300L, 302L, 404L, 407L, 500L, 503L, -200L})
        EXPECT_FALSE(Delivered(status)) << status;
}

} // namespace
} // namespace MW::Client
