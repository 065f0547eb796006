#include "Parameters.h"

#include "NetTestCommon.h"

#include <gtest/gtest.h>
#include <memory>

namespace MW::Test {
namespace {

using namespace Cxx::Network::Http::HttpClient;
using Set = CSimplePostParametersSet<'&'>;

std::string bodyOf(const IParametersSet& set) {
    std::size_t size = 0;
    const char* data = set.GetData(size);
    return std::string(data, size);
}

std::shared_ptr<IParameter> text(const std::u16string& value) {
    return std::make_shared<CSimpleTextParameter>(value);
}

TEST(NetExceptions, CarryMessageAndCodeSeven) {
    const Cxx::Network::Exception::CNetworkException e("Can't connect to the server.");
    const Cxx::Exception::CException& base = e;
    const std::exception& standard = e;
    EXPECT_STREQ(base.what(), "Can't connect to the server.");
    EXPECT_STREQ(standard.what(), "Can't connect to the server.");
    EXPECT_EQ(e.GetErrorCode(), 7);
}

TEST(NetTextParameter, HoldsUtf8AndRefusesEmptyOrBrokenText) {
    std::size_t size = 0;
    const CSimpleTextParameter ascii(u"abc");
    EXPECT_STREQ(ascii.GetData(size), "abc");
    EXPECT_EQ(size, 3u);

    // Two-, three- and four-byte forms (the last from a surrogate pair).
    const CSimpleTextParameter wide(u"\u00e9\u20ac\U0001F600");
    const char* data = wide.GetData(size);
    EXPECT_EQ(std::string(data, size), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");

    // The text ends at its first zero unit.
    EXPECT_EQ(std::string(CSimpleTextParameter(std::u16string(u"ab\0cd", 5)).GetData(size)), "ab");

    EXPECT_EQ(failureOf([] {
                  std::size_t n = 0;
                  CSimpleTextParameter(u"").GetData(n);
              }),
              "Parameter is empty.");
    EXPECT_EQ(failureOf([] { CSimpleTextParameter(std::u16string(1, char16_t(0xD800))); }),
              "Can't convert parameter to UTF-8 encoding.");
    EXPECT_EQ(failureOf([] { CSimpleTextParameter(u"a\xDC00"); }),
              "Can't convert parameter to UTF-8 encoding.");
}

TEST(NetPostParametersSet, JoinsWithAmpersandWithoutEncoding) {
    Set set;
    set.Add(text(u"a"));
    EXPECT_EQ(bodyOf(set), "a");
    set.Add(text(u"b"));
    EXPECT_EQ(bodyOf(set), "a&b");
    set.Add(text(u"<x y='1'>&%20\u00fc"));
    EXPECT_EQ(bodyOf(set), "a&b&<x y='1'>&%20\xC3\xBC");
    set.Clear();
    EXPECT_EQ(failureOf([&] { bodyOf(set); }), "Parameters' list is empty.");
}

TEST(NetPostParametersSet, EmptyParameterFailsAndLeavesTheBody) {
    Set set;
    set.Add(text(u"a"));
    EXPECT_EQ(failureOf([&] { set.Add(text(u"")); }), "Parameter is empty.");
    EXPECT_EQ(failureOf([&] { set.Add(nullptr); }),
              "Parameter is empty or returned parameter's buffer is incorrect.");
    EXPECT_EQ(bodyOf(set), "a");
}

// A parameter of another kind that reports no bytes without throwing.
class SilentEmpty : public IParameter {
public:
    const char* GetData(std::size_t& size) const override {
        size = 0;
        return "";
    }
};

TEST(NetPostParametersSet, ParameterReportingNoBytesFails) {
    Set set;
    EXPECT_EQ(failureOf([&] { set.Add(std::make_shared<SilentEmpty>()); }),
              "Parameter is empty or returned parameter's buffer is incorrect.");
    EXPECT_EQ(failureOf([&] { bodyOf(set); }), "Parameters' list is empty.");
}

TEST(NetPostParametersSet, KeepsNoReferenceToItsParameters) {
    Set set;
    auto parameter = text(u"kept");
    set.Add(parameter);
    EXPECT_EQ(parameter.use_count(), 1);
    parameter.reset();
    EXPECT_EQ(bodyOf(set), "kept");
}

} // namespace
} // namespace MW::Test
