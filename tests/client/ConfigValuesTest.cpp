// The settings as plain values: how they cross the contract.

#include "ConfigTransfer.h"
#include "ConfigValues.h"
#include "Contract.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace MW::Client {
namespace {

TEST(ConfigProperties, NamesAndDispatchIdsOfTheContract) {
    ASSERT_EQ(ConfigProperties().size(), kPropertyCount);
    for (std::size_t i = 0; i < kPropertyCount; ++i) {
        const SPropertyInfo& info = ConfigProperties()[i];
        EXPECT_EQ(static_cast<std::size_t>(info.property), i);
        // The dispatch ids count from 1 in the order of the enumeration.
        EXPECT_EQ(info.dispId, static_cast<int>(i) + 1) << info.name;
        EXPECT_EQ(FindProperty(info.name), info.property);
    }
    EXPECT_EQ(PropertyInfo(EProperty::ProxySysAccessType).dispId, DispId::ProxySysAccessType);
    EXPECT_FALSE(FindProperty("scanfolder"));
    EXPECT_FALSE(IsSetting(EProperty::LastScan));
    EXPECT_FALSE(IsSetting(EProperty::CleanedSpace));
    EXPECT_EQ(std::count_if(ConfigProperties().begin(), ConfigProperties().end(),
                            [](const SPropertyInfo& p) { return IsSetting(p.property); }),
              static_cast<long>(kSaveOrder.size()));
}

TEST(ConfigValues, FlagsCrossAsAutomationBooleansAndOtherTypesAreRefused) {
    SSettingsValues v;
    v.proxy.useProxy = true;
    EXPECT_EQ(ValueOf(v, EProperty::ProxyUsage), PropertyValue(std::int32_t{-1}));
    EXPECT_EQ(ValueOf(v, EProperty::ProxySysUsage), PropertyValue(std::int32_t{0}));
    // The service stores a boolean and answers 1: any number but 0 is true.
    EXPECT_TRUE(Assign(v, EProperty::ProxySysUsage, std::int32_t{1}));
    EXPECT_TRUE(v.proxy.useSystemProxy);
    EXPECT_TRUE(Assign(v, EProperty::ProxySysAccessType, std::uint32_t{3}));
    EXPECT_EQ(v.proxy.sysAccessType, 3u);
    // A value of another type changes nothing.
    EXPECT_FALSE(Assign(v, EProperty::DeleteAge, std::string("3")));
    EXPECT_FALSE(Assign(v, EProperty::ScanFolder, std::int32_t{1}));
    EXPECT_FALSE(Assign(v, EProperty::CleanedSpace, std::uint64_t{1}));
    EXPECT_EQ(v.deleteAge, 0);
    SOverviewValues o;
    EXPECT_TRUE(Assign(o, EProperty::CleanedSpace, std::uint64_t{5'000'000'000ull}));
    EXPECT_EQ(o.cleanedSpace, 5'000'000'000ull);
    EXPECT_FALSE(Assign(o, EProperty::ScanFolder, std::string("/x")));
}

TEST(ContactProxy, TheExplicitServerAndTheNumberItsPortStartsWith) {
    SProxyValues proxy;
    proxy.server = "proxy.example.org";
    proxy.port = " 8080x";
    EXPECT_EQ(ContactProxy(proxy).server, "");
    EXPECT_EQ(ContactProxy(proxy).port, 0);
    proxy.useProxy = true;
    EXPECT_EQ(ContactProxy(proxy).server, "proxy.example.org");
    EXPECT_EQ(ContactProxy(proxy).port, 8080);
}

} // namespace
} // namespace MW::Client
