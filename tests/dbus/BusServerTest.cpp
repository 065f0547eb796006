#include "BusHarness.h"
#include "CEventRelay.h"
#include "CSettings.h"

#include <climits>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace MW::Test;
using MW::CSettings;

namespace {

class BusServer : public ::testing::Test {
protected:
    void SetUp() override {
        m_pLoop = std::make_unique<CServerLoop>(m_bus.address(), m_engine, MW::DBus::AuthOptions{});
    }
    void TearDown() override {
        m_pLoop.reset();
        CSettings::destroyInstance();
    }
    CommandResult set(const std::string& property, const std::vector<std::string>& value) {
        std::vector<std::string> args{"set-property", kService, kConfig, kIConfig, property};
        args.insert(args.end(), value.begin(), value.end());
        return busctl(m_bus, args);
    }
    std::string get(const std::string& property, const char* path = kConfig,
                    const char* iface = kIConfig) {
        const auto r = busctl(m_bus, {"get-property", kService, path, iface, property});
        return r.status == 0 ? r.out : "error: " + r.err;
    }
    CommandResult gdbusSet(const std::string& property, const std::string& value) {
        return runCommand({"gdbus", "call", "--address", m_bus.address(), "--dest", kService,
                           "--object-path", kConfig, "--method",
                           "org.freedesktop.DBus.Properties.Set", kIConfig, property, value});
    }

    TestBus m_bus;
    MW::Objects::CMorrowick m_engine;
    std::unique_ptr<CServerLoop> m_pLoop;
};

TEST_F(BusServer, PropertiesRoundTripThroughRealClients) {
    EXPECT_EQ(set("ScanFolder", {"s", "/srv/drawings"}).status, 0);
    EXPECT_EQ(set("CleanedSpace", {"t", "5000000000"}).status, 0);
    EXPECT_EQ(set("ProxyUsage", {"i", "5"}).status, 0);
    EXPECT_EQ(set("DeleteAge", {"i", "42"}).status, 0);
    EXPECT_EQ(set("ProxySysAccessType", {"u", "4294967295"}).status, 0);
    EXPECT_EQ(set("StartTime", {"v", "d", "44000.5"}).status, 0);
    EXPECT_EQ(get("ScanFolder"), "s \"/srv/drawings\"\n");
    EXPECT_EQ(get("CleanedSpace"), "t 5000000000\n");
    EXPECT_EQ(get("ProxyUsage"), "i 1\n");
    EXPECT_EQ(get("DeleteAge"), "i 42\n");
    EXPECT_EQ(get("ProxySysAccessType"), "u 4294967295\n");
    EXPECT_EQ(get("StartTime"), "v d 44000.5\n");
    // A date text: 3 January 2024 is day 45294; 10:30 is 0.4375 of a day.
    EXPECT_EQ(set("StartTime", {"v", "s", "2024-01-03 10:30"}).status, 0);
    EXPECT_DOUBLE_EQ(CSettings::getInstance()->getStartTime(), 45294.4375); // busctl rounds
    EXPECT_EQ(gdbusSet("StartTime", "<<'2024-01-02 09:00'>>").status, 0);
    EXPECT_DOUBLE_EQ(CSettings::getInstance()->getStartTime(), 45293.375);

    CSettings::getInstance()->setUndeletedLog("/var/lib/morrowick/undeleted.tmp");
    CSettings::getInstance()->setUndeletedCount(2);
    EXPECT_EQ(get("Config", kEngine, kIEngine), "o \"/org/morrowick/Config\"\n");
    EXPECT_EQ(get("UndeletedLog", kEngine, kIEngine), "s \"/var/lib/morrowick/undeleted.tmp\"\n");
    EXPECT_EQ(get("UndeletedCount", kEngine, kIEngine), "i 2\n");
    EXPECT_EQ(get("ActivityState", kEngine, kIEngine), "i 0\n");
}

TEST_F(BusServer, BadInputIsRefusedClearlyOrStoredIntact) {
    ASSERT_EQ(set("StartTime", {"v", "d", "44000.5"}).status, 0);
    for (const auto& value : {"<<'not a date'>>", "<<true>>", "<<7>>", "<<1e300>>"}) {
        const auto r = gdbusSet("StartTime", value);
        EXPECT_NE(r.err.find("org.morrowick.Error.TypeMismatch: Type mismatch"), std::string::npos)
            << value << ": " << r.err;
    }
    EXPECT_EQ(get("StartTime"), "v d 44000.5\n");
    // A wrong type for a typed property is refused by the bus layer.
    ASSERT_EQ(set("ScanFolder", {"s", "/kept"}).status, 0);
    EXPECT_NE(gdbusSet("ScanFolder", "<42>").status, 0);
    EXPECT_EQ(get("ScanFolder"), "s \"/kept\"\n");

    const std::string odd = "--/tmp/\"quoted\" ünïcödé 日本\ttab";
    EXPECT_EQ(set("ContactName", {"s", odd}).status, 0);
    EXPECT_EQ(CSettings::getInstance()->getContactName(), odd);
    // Texts up to their bound are kept whole; a longer one is refused and changes
    // nothing. (Far beyond a command line: through a second sdbus-c++ connection.)
    auto client = sdbus::createSessionBusConnectionWithAddress(m_bus.address());
    auto proxy = sdbus::createProxy(*client, kService, kConfig);
    const auto setText = [&](const char* name, const std::string& value) -> std::string {
        try {
            proxy->setProperty(name).onInterface(kIConfig).toValue(value);
            return "";
        } catch (const sdbus::Error& e) {
            return e.getName();
        }
    };
    const auto getText = [&](const char* name) -> std::string {
        return proxy->getProperty(name).onInterface(kIConfig);
    };
    const std::string longest(64 * 1024, 'h');
    EXPECT_EQ(setText("ProxySysBypass", longest), "");
    EXPECT_EQ(getText("ProxySysBypass"), longest);
    for (const std::size_t size : {64 * 1024 + 1, 8 << 20})
        EXPECT_EQ(setText("ProxySysBypass", std::string(size, 'x')),
                  "org.freedesktop.DBus.Error.InvalidArgs")
            << size;
    EXPECT_EQ(getText("ProxySysBypass"), longest);
    // A folder as long as the platform can name it; one byte more is refused.
    const std::string folder = "/" + std::string(PATH_MAX - 2, 'f');
    EXPECT_EQ(setText("ScanFolder", folder), "");
    EXPECT_EQ(setText("ScanFolder", folder + "f"), "org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(getText("ScanFolder"), folder);
    // What counts is the text up to its first NUL.
    EXPECT_EQ(setText("ContactName", "ok" + std::string(1, '\0') + std::string(70000, 'z')), "");
    EXPECT_EQ(getText("ContactName"), "ok");

    // Wrong arguments and unknown members are errors, and the service carries on.
    EXPECT_NE(busctl(m_bus, {"call", kService, kEngine, kIEngine, "fireEvent", "s", "x"}).status,
              0);
    EXPECT_NE(busctl(m_bus, {"call", kService, kEngine, kIEngine, "explode"}).status, 0);
    EXPECT_EQ(get("ActivityState", kEngine, kIEngine), "i 0\n");
}

TEST_F(BusServer, EventsFiredOnAnotherThreadArriveInOrderWithTheirArguments) {
    CSignalRecorder recorder(m_bus.address());
    // The test thread plays the cleaner.
    m_engine.fireEvent(MW::eFE_ScanStarted);
    CSettings::getInstance()->setCleanedSpace(5000000000ull);
    m_engine.fireEvent(MW::eFE_UpdateCleanedSpace);
    // Out before the next total, which would otherwise replace it.
    ASSERT_TRUE(waitUntil([&] { return recorder.signals().size() == 2; }));
    m_engine.fireEvent(MW::eFE_None);
    m_engine.fireEvent(static_cast<MW::EFireEvent>(99));
    CSettings::getInstance()->setCleanedSpace(5000000123ull);
    m_engine.fireEvent(MW::eFE_UpdateCleanedSpace);
    m_engine.fireEvent(MW::eFE_ScanFinished);
    // Nothing else happens on the bus: only the relay's wake-up gets these out.
    std::vector<std::string> expected{"scanStarted", "updateCleanedSpace:5000000000",
                                      "updateCleanedSpace:5000000123", "scanFinished"};
    EXPECT_TRUE(waitUntil([&] { return recorder.signals().size() >= expected.size(); }));
    // And a client asks for the test event.
    EXPECT_EQ(busctl(m_bus, {"call", kService, kEngine, kIEngine, "fireEvent", "i", "4"}).status,
              0);
    expected.push_back("test");
    EXPECT_TRUE(waitUntil([&] { return recorder.signals().size() >= expected.size(); }));
    EXPECT_EQ(recorder.signals(), expected);
}

// Real listeners (gdbus monitor) while a stream of events flows; the one killed
// in the middle costs the others nothing.
TEST(BusServerConnection, TellsALostBusFromALiveOne) {
    MW::Objects::CMorrowick engine;
    auto bus = std::make_unique<TestBus>();
    auto connection = sdbus::createSessionBusConnectionWithAddress(bus->address());
    MW::DBus::CBusServer server(*connection, engine, MW::DBus::AuthOptions{});
    server.requestName();
    server.dispatch();
    EXPECT_TRUE(server.connectionAlive());
    bus.reset(); // the daemon ends
    EXPECT_TRUE(waitUntil([&] {
        try {
            server.dispatch();
        } catch (const std::exception&) {
        }
        return !server.connectionAlive();
    }));
}

TEST_F(BusServer, EveryClientHearsOfEachPropertyThatChangesWhoeverChangedIt) {
    CSignalRecorder recorder(m_bus.address(), true);
    CSettings* settings = CSettings::getInstance();
    // A client's changes reach the other clients; a value written again is no change.
    ASSERT_EQ(set("ScanFolder", {"s", "/srv/a"}).status, 0);
    ASSERT_EQ(set("ScanFolder", {"s", "/srv/a"}).status, 0);
    ASSERT_EQ(set("DeleteAge", {"i", "3"}).status, 0);
    ASSERT_EQ(set("ProxyUsage", {"i", "7"}).status, 0); // on already: read back as 1
    ASSERT_EQ(set("ProxyUsage", {"i", "0"}).status, 0);
    ASSERT_EQ(set("ProxySysAccessType", {"u", "4294967295"}).status, 0);
    // The service's own: a scan's date, told before scanFinished, and the schedule's
    // next due date.
    settings->setLastScan("03/04/25");
    m_engine.fireEvent(MW::eFE_ScanFinished);
    // Out before the next change, which would otherwise go out with it, ahead of it.
    ASSERT_TRUE(waitUntil([&] { return recorder.signals().size() >= 6; }));
    settings->storeStartTime(45294.4375);
    settings->storeStartTime(45294.4375);
    ASSERT_TRUE(waitUntil([&] { return recorder.signals().size() >= 7; }));
    EXPECT_EQ(set("StartTime", {"v", "s", "not a date"}).status, 1); // refused: no change
    settings->setUndeletedCount(4);                                  // not a Config property
    settings->setContactEmail("a@example.com");
    ASSERT_TRUE(waitUntil([&] { return recorder.signals().size() >= 8; }));
    EXPECT_EQ(
        recorder.signals(),
        (std::vector<std::string>{
            "changed:ScanFolder=/srv/a", "changed:DeleteAge=3", "changed:ProxyUsage=0",
            "changed:ProxySysAccessType=4294967295", "changed:LastScan=03/04/25", "scanFinished",
            "changed:StartTime=<45294.437500>", "changed:ContactEmail=a@example.com"}));
}

TEST_F(BusServer, AFloodOfChangesIsToldAsItsLatestValues) {
    CSignalRecorder recorder(m_bus.address(), true);
    CSettings* settings = CSettings::getInstance();
    // A fast scan: one change of the running total per deleted file.
    constexpr std::uint64_t kChanges = 100000;
    for (std::uint64_t i = 0; i < kChanges; ++i)
        settings->addCleanedSpace(1);
    settings->setContactName("after");
    ASSERT_TRUE(waitUntil([&] {
        const auto s = recorder.signals();
        return !s.empty() && s.back().find("ContactName=after") != std::string::npos;
    }));
    const auto all = recorder.signals();
    EXPECT_LT(all.size(), kChanges / 10) << "one signal per change";
    std::uint64_t previous = 0;
    for (const std::string& text : all) {
        ASSERT_EQ(text.rfind("changed:", 0), 0u) << text;
        const auto at = text.find("CleanedSpace=");
        if (at == std::string::npos)
            continue;
        // Never back: a change marked just after its value went out is told again.
        const std::uint64_t total = std::stoull(text.substr(at + 13));
        EXPECT_GE(total, previous);
        previous = total;
    }
    EXPECT_EQ(previous, kChanges);
}

TEST(EventRelay, PropertyChangesAreMarkedAndTakenWithTheEventsAfterThem) {
    using MW::DBus::CEventRelay;
    CEventRelay relay;
    const auto changed = [&](int dispId) { relay.update(MW::eSE_PropertyChanged + dispId); };
    for (int i = 0; i < 1000; ++i)
        changed(MW::DispId::CleanedSpace);
    changed(MW::DispId::LastScan);
    relay.scanFinished();
    relay.update(MW::eSE_ScanNow);               // not a property
    changed(MW::DispId::ProxySysAccessType + 1); // no such property
    // A bus that takes nothing now keeps everything.
    auto batch = relay.take(0);
    EXPECT_EQ(batch.changedProperties, 0u);
    EXPECT_TRUE(batch.events.empty());
    ASSERT_TRUE(relay.pending());
    batch = relay.take(10);
    EXPECT_EQ(batch.changedProperties,
              (1u << MW::DispId::CleanedSpace) | (1u << MW::DispId::LastScan));
    ASSERT_EQ(batch.events.size(), 1u);
    EXPECT_EQ(batch.events[0].kind, MW::eFE_ScanFinished);
    EXPECT_FALSE(relay.pending());
    changed(MW::DispId::ScanFolder);
    EXPECT_TRUE(relay.pending());
    EXPECT_EQ(relay.take(10).changedProperties, 1u << MW::DispId::ScanFolder);
}

TEST(EventRelay, BehindABacklogRunningTotalsAreMergedIntoTheLatest) {
    using MW::DBus::CEventRelay;
    CEventRelay relay;
    // A few totals in a row all go out.
    relay.scanStarted();
    for (std::uint64_t total = 1; total <= 3; ++total)
        relay.updateCleanedSpace(total);
    auto events = relay.take(1000).events;
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[3].cleanedSpace, 3u);

    // A bus that takes nothing for a long scan: the queue stays bounded, the order
    // holds, and the latest total is there.
    relay.scanStarted();
    for (std::uint64_t total = 1; total <= 100000; ++total)
        relay.updateCleanedSpace(total);
    relay.test();
    relay.updateCleanedSpace(200000);
    relay.updateCleanedSpace(200001);
    relay.scanFinished();
    events = relay.take(100000).events;
    EXPECT_FALSE(relay.pending());
    ASSERT_LE(events.size(), CEventRelay::kBacklog + 4);
    std::vector<std::string> tail;
    for (std::size_t i = events.size() - 4; i < events.size(); ++i)
        tail.push_back(std::to_string(events[i].kind) + ":" +
                       std::to_string(events[i].cleanedSpace));
    EXPECT_EQ(tail, (std::vector<std::string>{"3:100000", "4:0", "3:200001", "2:0"}));
    EXPECT_EQ(events.front().kind, MW::eFE_ScanStarted);
    std::uint64_t previous = 0;
    for (std::size_t i = 1; i + 3 < events.size(); ++i) {
        ASSERT_EQ(events[i].kind, MW::eFE_UpdateCleanedSpace);
        ASSERT_GT(events[i].cleanedSpace, previous);
        previous = events[i].cleanedSpace;
    }
}

TEST_F(BusServer, AClientVanishingMidEventDisturbsNoOne) {
    CSignalRecorder recorder(m_bus.address());
    TempDir dir;
    const auto monitor = [&](const std::string& file) {
        return std::make_unique<Child>(std::vector<std::string>{
            "sh", "-c",
            "exec gdbus monitor --address '" + m_bus.address() + "' --dest " + kService +
                " --object-path " + kEngine + " > '" + file + "'"});
    };
    const auto seen = [&](const std::string& file, const std::string& text) {
        std::ifstream in(file);
        std::stringstream content;
        content << in.rdbuf();
        return content.str().find(text) != std::string::npos;
    };
    auto doomed = monitor(dir / "doomed");
    auto survivor = monitor(dir / "survivor");
    ASSERT_TRUE(waitUntil([&] { // listening once they see a probe
        m_engine.fireEvent(MW::eFE_Test);
        return seen(dir / "doomed", ".test ()") && seen(dir / "survivor", ".test ()");
    }));
    // Probes may still be on their way; everything after this marker is ours.
    m_engine.fireEvent(MW::eFE_ScanStarted);
    ASSERT_TRUE(waitUntil([&] {
        const auto s = recorder.signals();
        return !s.empty() && s.back() == "scanStarted";
    }));
    const std::size_t start = recorder.signals().size();

    constexpr std::uint64_t kEvents = 3000;
    for (std::uint64_t i = 1; i <= kEvents; ++i) {
        if (i == kEvents / 2)
            doomed->signalAndWait(SIGKILL);
        CSettings::getInstance()->setCleanedSpace(i);
        m_engine.fireEvent(MW::eFE_UpdateCleanedSpace);
    }
    m_engine.fireEvent(MW::eFE_ScanFinished);

    // Totals that waited for the bus together arrive as the latest one: a rising
    // sequence that ends with the final total, then scanFinished.
    ASSERT_TRUE(waitUntil([&] {
        const auto s = recorder.signals();
        return s.size() > start && s.back() == "scanFinished";
    }));
    const auto all = recorder.signals();
    ASSERT_GE(all.size(), start + 2);
    std::uint64_t previous = 0;
    for (std::size_t i = start; i + 1 < all.size(); ++i) {
        ASSERT_EQ(all[i].rfind("updateCleanedSpace:", 0), 0u) << all[i];
        const std::uint64_t total = std::stoull(all[i].substr(19));
        ASSERT_GT(total, previous);
        previous = total;
    }
    EXPECT_EQ(previous, kEvents);
    // gdbus shows the one argument as a one-element tuple of uint64.
    EXPECT_TRUE(waitUntil([&] { return seen(dir / "survivor", ".scanFinished ()"); }));
    EXPECT_TRUE(seen(dir / "survivor", ".IMorrowickEvents.updateCleanedSpace (uint64 3000,)"));
    EXPECT_EQ(get("ActivityState", kEngine, kIEngine), "i 0\n");
}

} // namespace
