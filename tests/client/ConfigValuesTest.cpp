// The settings as plain values: how they cross the contract, when two of them
// count as the same, what a save writes, and how a change announced by the
// service meets the user's edits.

#include "ConfigTransfer.h"
#include "ConfigValues.h"
#include "Contract.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace MW::Client {
namespace {

std::vector<EProperty> changed(const SSettingsValues& now, const SSettingsValues& base) {
    return ChangedSettings(now, base);
}

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

TEST(ConfigValues, ChangesAreListedInTheSaveOrder) {
    SSettingsValues base;
    base.scanFolder = "/a";
    base.fileTypes = ".bak";
    base.deleteAge = 3;
    base.startTime = 45000.25;
    base.contactName = "Ann";
    EXPECT_TRUE(changed(base, base).empty());

    SSettingsValues now = base;
    now.contactEmail = "ann@example.org";
    now.scanFolder = "/b";
    now.proxy.port = "3128";
    now.proxy.useProxy = true;
    EXPECT_EQ(changed(now, base), (std::vector<EProperty>{EProperty::ScanFolder,
                                                          EProperty::ProxyUsage,
                                                          EProperty::ProxyPort,
                                                          EProperty::ContactEmail}));
}

TEST(ConfigValues, ValuesThePagesShowAlikeAreTheSame) {
    SSettingsValues base;
    base.fileTypes = ".dwl2";
    base.deleteAge = 42;
    base.startTime = 45000.25;
    SSettingsValues shown = base;
    // What the pages make of them: the boxes' text, no age, the picker's moment.
    shown.fileTypes = ".dwl,.dwl2";
    shown.deleteAge = eDA_None;
    shown.startTime = 45000.25 + 1e-11;
    EXPECT_TRUE(changed(shown, base).empty());

    shown.fileTypes = ".dwl";
    shown.deleteAge = eDA_Day;
    shown.startTime = 45000.25 + 1.0 / 86400;
    EXPECT_EQ(changed(shown, base), (std::vector<EProperty>{EProperty::FileTypes,
                                                            EProperty::DeleteAge,
                                                            EProperty::StartTime}));
    // Text is compared exactly: white space and case are the user's.
    SSettingsValues other = base;
    other.otherFileTypes = " .tmp";
    base.otherFileTypes = ".tmp";
    EXPECT_EQ(changed(other, base), std::vector<EProperty>{EProperty::OtherFileTypes});
}

TEST(ConfigValues, AnAnnouncedChangeReachesThePagesUnlessTheUserChangedThatValue) {
    SSettingsValues base;
    base.scanFolder = "/a";
    base.deleteAge = 3;
    SSettingsValues shown = base;
    shown.deleteAge = 5; // edited, not saved yet

    // Not edited: base and pages follow.
    EXPECT_TRUE(FollowChange(EProperty::ScanFolder, std::string("/b"), base, shown));
    EXPECT_EQ(base.scanFolder, "/b");
    EXPECT_EQ(shown.scanFolder, "/b");
    // Edited: the service's value becomes the base, the edit stays and is what
    // the next save writes.
    EXPECT_FALSE(FollowChange(EProperty::DeleteAge, std::int32_t{1}, base, shown));
    EXPECT_EQ(base.deleteAge, 1);
    EXPECT_EQ(shown.deleteAge, 5);
    EXPECT_EQ(changed(shown, base), std::vector<EProperty>{EProperty::DeleteAge});
    // A change the pages cannot tell from what they show changes nothing there.
    base.fileTypes = shown.fileTypes = ".dwl,.dwl2";
    EXPECT_FALSE(FollowChange(EProperty::FileTypes, std::string(".dwl2"), base, shown));
    EXPECT_EQ(base.fileTypes, ".dwl2");
    EXPECT_TRUE(changed(shown, base) == std::vector<EProperty>{EProperty::DeleteAge});
    // A value of the wrong type is no change.
    EXPECT_FALSE(FollowChange(EProperty::ScanFolder, std::int32_t{7}, base, shown));
    EXPECT_EQ(base.scanFolder, "/b");
}

TEST(ConfigValues, EditsSurviveAReloadAndAreAllThatIsLeftToWrite) {
    SSettingsValues base;
    base.scanFolder = "/a";
    base.contactName = "Ann";
    SSettingsValues shown = base;
    shown.contactName = "Bob";

    SSettingsValues fresh = base;
    fresh.scanFolder = "/changed/meanwhile";
    fresh.deleteAge = 4;
    const SSettingsValues kept = KeepEdits(shown, base, fresh);
    EXPECT_EQ(kept.contactName, "Bob");
    EXPECT_EQ(kept.scanFolder, "/changed/meanwhile");
    EXPECT_EQ(kept.deleteAge, 4);
    EXPECT_EQ(changed(kept, fresh), std::vector<EProperty>{EProperty::ContactName});
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
