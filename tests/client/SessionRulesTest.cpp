// The session's rules for what the real service cannot be made to do on demand:
// refuse the event subscription or the access question while answering every
// other call, and announce a change without its value. The service here is a
// Config object in memory; everything else goes through the real service in
// the configurators' session tests.

#include "CSession.h"

#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace MW::Client {
namespace {

struct SStore {
    std::map<EProperty, PropertyValue> values;
    bool failReads = false;
    int reads = 0;
};

class CMemoryConfig final : public IConfigObject {
public:
    explicit CMemoryConfig(SStore& store) : m_store(store) {}
    PropertyValue get(EProperty property) override {
        ++m_store.reads;
        if (m_store.failReads)
            throw CCallFailure("read refused");
        return m_store.values.at(property);
    }
    void set(EProperty property, const PropertyValue& value) override {
        m_store.values[property] = value;
    }

private:
    SStore& m_store;
};

class CMemoryLink final : public IServiceLink {
public:
    SStore store;
    std::string adviseFailure;
    bool failAccess = false;
    int engines = 0;

    CMemoryLink() {
        for (const SPropertyInfo& info : ConfigProperties())
            if (IsSetting(info.property))
                store.values[info.property] = ValueOf(SSettingsValues{}, info.property);
        store.values[EProperty::LastScan] = std::string();
        store.values[EProperty::CleanedSpace] = std::uint64_t{0};
    }
    bool createEngine() override { return ++engines > 0; }
    bool hasEngine() const override { return engines > 0; }
    std::unique_ptr<IConfigObject> Config() override {
        return std::make_unique<CMemoryConfig>(store);
    }
    SAccess Access() override {
        if (failAccess)
            throw CCallFailure("no answer to the access question");
        return {true, "group"};
    }
    std::int32_t ActivityState() override { return 0; }
    std::int32_t UndeletedCount() override { return 0; }
    std::string UndeletedLog() override { return {}; }
    std::string AdviseEngine() override { return adviseFailure; }
    void UnadviseEngine() override {}
};

class CView final : public ISessionView {
public:
    SSettingsValues shown;
    std::vector<std::pair<EOwner, std::string>> messages;
    std::string lastScan;
    bool readOnly = true;
    std::string group = "unset";
    int loads = 0;

    void ShowMessage(EOwner owner, EIcon, const std::string& text, const std::string&) override {
        messages.emplace_back(owner, text);
    }
    SSettingsValues ShownSettings() override { return shown; }
    SSettingsValues SettingsToSave() override { return shown; }
    void ShowSettings(const SSettingsValues& values) override { shown = values; }
    void ShowSetting(EProperty property, const SSettingsValues& values) override {
        Assign(shown, property, ValueOf(values, property));
    }
    void SetContactProxy(const SContactProxy&) override {}
    void SetLastScan(const std::string& text) override { lastScan = text; }
    void SetCleanedSpace(std::uint64_t) override {}
    void SetScanRunning(bool) override {}
    void SetReadOnly(bool ro, const std::string& g) override {
        readOnly = ro;
        group = g;
    }
    void SetLoaded(bool) override {}
    void SetConnected(bool) override {}
    void AnnounceUndeleted(std::int32_t, const std::string&) override {}
    void EndProgram(int) override { ADD_FAILURE() << "the service stayed reachable"; }
    void SettingsLoaded() override { ++loads; }
};

SSystemProxy noSystemProxy(const SSystemProxy& before) {
    return before;
}

// A refused subscription is said without an owner window, a failed access
// question once with the reconnection text; neither starts a second connection
// from inside the first, and the values still load.
TEST(ClientSession, FailuresWhileConnectingAreReportedOnceAndTheValuesStillLoad) {
    CMemoryLink link;
    CView view;
    link.adviseFailure = "Failed to advise MWObserver.";
    link.failAccess = true;
    link.store.values[EProperty::ScanFolder] = std::string("/srv/drawings");
    CSession session(link, view, noSystemProxy, 254);

    EXPECT_TRUE(session.ConnectService(true));
    EXPECT_EQ(link.engines, 1) << "a failure while connecting must not reconnect";
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[0].first, ISessionView::EOwner::None);
    EXPECT_EQ(view.messages[0].second, "Failed to advise MWObserver.");
    EXPECT_EQ(view.messages[1].first, ISessionView::EOwner::MainWindow);
    EXPECT_EQ(view.messages[1].second, "Service is unavailable. no answer to the access "
                                       "question Click Ok to try to reconnetct.");
    // Not known to be refused: the service decides at each write.
    EXPECT_FALSE(view.readOnly);
    EXPECT_EQ(view.group, "");
    EXPECT_TRUE(session.isLoaded());
    EXPECT_EQ(view.loads, 1);
    EXPECT_EQ(view.shown.scanFolder, "/srv/drawings");
}

// A change announced without its value is read again and follows the rule of
// announced values: what the user edits stays, the rest is taken. A read that
// fails says nothing and does not reconnect; the next call the user makes
// reports it.
TEST(ClientSession, AChangeAnnouncedWithoutItsValueIsReadAgainAndFollowed) {
    CMemoryLink link;
    CView view;
    CSession session(link, view, noSystemProxy, 254);

    session.OnConfigInvalidated(EProperty::ScanFolder);
    EXPECT_EQ(link.store.reads, 0) << "nothing to read before a connection";
    ASSERT_TRUE(session.ConnectService(true));

    view.shown.deleteAge = 5; // being edited
    link.store.values[EProperty::ScanFolder] = std::string("/from/elsewhere");
    link.store.values[EProperty::DeleteAge] = std::int32_t{1};
    link.store.values[EProperty::LastScan] = std::string("01/02/03");
    for (const EProperty property : {EProperty::ScanFolder, EProperty::DeleteAge, EProperty::LastScan})
        session.OnConfigInvalidated(property);
    EXPECT_EQ(view.shown.scanFolder, "/from/elsewhere");
    EXPECT_EQ(view.shown.deleteAge, 5) << "the edit stays";
    EXPECT_EQ(session.loadedSettings().deleteAge, 1);
    EXPECT_EQ(view.lastScan, "01/02/03");

    link.store.failReads = true;
    session.OnConfigInvalidated(EProperty::ContactName);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(link.engines, 1);

    session.setEnding();
    const int reads = link.store.reads;
    session.OnConfigInvalidated(EProperty::ScanFolder);
    EXPECT_EQ(link.store.reads, reads) << "nothing is read once the program ends";
}

} // namespace
} // namespace MW::Client
