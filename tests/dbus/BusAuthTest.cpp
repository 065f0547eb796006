#include "BusHarness.h"
#include "CCallerAuth.h"
#include "CSettings.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <iomanip>
#include <pwd.h>
#include <sstream>
#include <unistd.h>

using namespace MW::Test;
using MW::CSettings;

namespace {

// Every kind of write a client can make, each with a value unlike the defaults.
std::vector<std::vector<std::string>> everyWrite() {
    std::vector<std::vector<std::string>> writes;
    for (const char* name :
         {"ScanFolder", "FileTypes", "OtherFileTypes", "LastScan", "ContactName", "ContactEmail",
          "ProxyServer", "ProxyPort", "ProxySysServer", "ProxySysBypass"})
        writes.push_back({"set-property", kService, kConfig, kIConfig, name, "s", "/intruder"});
    for (auto [name, sig, value] : {std::tuple{"DeleteAge", "i", "42"},
                                    {"CleanedSpace", "t", "77"},
                                    {"ProxyUsage", "i", "0"},
                                    {"ProxySysUsage", "i", "0"},
                                    {"ProxySysAccessType", "u", "9"}})
        writes.push_back({"set-property", kService, kConfig, kIConfig, name, sig, value});
    writes.push_back(
        {"set-property", kService, kConfig, kIConfig, "StartTime", "v", "d", "12345.5"});
    writes.push_back({"call", kService, kEngine, kIEngine, "scanNow"});
    writes.push_back({"call", kService, kEngine, kIEngine, "fireEvent", "i", "4"});
    return writes;
}

const std::vector<std::string> kNobody{"setpriv", "--reuid=65534", "--regid=65534",
                                       "--clear-groups"};

class BusAuth : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to run clients as another user";
        // Members are those with gid 0 among their groups; its name varies.
        const group* root = ::getgrgid(0);
        ASSERT_NE(root, nullptr);
        m_strGroup = root->gr_name;
        CSettings::getInstance()->subscribe(MW::eSE_ScanNow, &m_scanNow);
    }
    void TearDown() override {
        m_pLoop.reset();
        CSettings::destroyInstance();
    }
    void start(bool enabled) {
        m_pLoop = std::make_unique<CServerLoop>(m_bus.address(), m_engine,
                                                MW::DBus::AuthOptions{enabled, m_strGroup});
    }
    // Makes every write as `as`; returns how many were refused as access denied.
    int refusedWrites(const std::vector<std::string>& as) {
        int refused = 0;
        for (const auto& write : everyWrite()) {
            const auto r = busctl(m_bus, write, as);
            if (r.status != 0 && r.err.find("Access denied") != std::string::npos)
                ++refused;
            else
                EXPECT_EQ(r.status, 0) << write[4] << ": " << r.err;
        }
        return refused;
    }

    struct Counter : MW::Common::IObserver {
        std::atomic<int> calls{0};
        void update(std::int32_t) override { ++calls; }
    } m_scanNow;
    std::string m_strGroup;
    TestBus m_bus;
    MW::Objects::CMorrowick m_engine;
    std::unique_ptr<CServerLoop> m_pLoop;
};

TEST_F(BusAuth, WithTheCheckOnOnlyRootAndMembersMayWrite) {
    start(true);
    CSignalRecorder recorder(m_bus.address());
    EXPECT_EQ(refusedWrites(kNobody), static_cast<int>(everyWrite().size()));
    auto config = m_engine.getConfig();
    EXPECT_EQ(config->getScanFolder(), "/");
    EXPECT_NE(config->getStartTime(), 12345.5);
    EXPECT_EQ(config->getCleanedSpace(), 0u);
    EXPECT_EQ(m_scanNow.calls, 0);
    // The error's name and message, as gdbus shows them.
    std::vector<std::string> gdbus = kNobody;
    gdbus.insert(gdbus.end(),
                 {"gdbus", "call", "--address", m_bus.address(), "--dest", kService,
                  "--object-path", kEngine, "--method", "org.morrowick.IMorrowick.scanNow"});
    const auto r = runCommand(gdbus);
    EXPECT_NE(r.err.find("org.freedesktop.DBus.Error.AccessDenied"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"" + m_strGroup + "\""), std::string::npos) << r.err;
    // Reads stay open.
    EXPECT_EQ(
        busctl(m_bus, {"get-property", kService, kConfig, kIConfig, "ScanFolder"}, kNobody).out,
        "s \"/\"\n");

    // Root, and members by primary or by supplementary group.
    EXPECT_EQ(refusedWrites({}), 0);
    EXPECT_EQ(refusedWrites({"setpriv", "--reuid=65534", "--regid=0", "--clear-groups"}), 0);
    EXPECT_EQ(refusedWrites({"setpriv", "--reuid=65534", "--regid=65534", "--groups=0"}), 0);
    EXPECT_EQ(m_scanNow.calls, 3);
    EXPECT_EQ(m_engine.getConfig()->getScanFolder(), "/intruder");
    EXPECT_TRUE(waitUntil([&] { return recorder.signals().size() >= 3; }));
    EXPECT_EQ(recorder.signals(), (std::vector<std::string>{"test", "test", "test"}));
}

// What org.morrowick.Access tells the caller `as`, next to what the writes
// themselves meet: the two must agree for every kind of caller.
TEST_F(BusAuth, MayChangeAnswersWhatTheWritesMeet) {
    const std::vector<std::vector<std::string>> callers{
        kNobody,
        {},
        {"setpriv", "--reuid=65534", "--regid=0", "--clear-groups"},
        {"setpriv", "--reuid=65534", "--regid=65534", "--groups=0"},
        {"setpriv", "--reuid=65534", "--regid=65534", "--groups=65534"}};
    const auto mayChange = [&](const std::vector<std::string>& as) {
        const auto r = busctl(m_bus, {"call", kService, kEngine, "org.morrowick.Access", "mayChange"},
                              as);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    const auto group = [&] {
        return busctl(m_bus, {"get-property", kService, kEngine, "org.morrowick.Access", "Group"},
                      kNobody)
            .out;
    };
    for (const bool enabled : {true, false}) {
        start(enabled);
        for (const auto& as : callers) {
            const std::string answer = mayChange(as);
            const int refused = refusedWrites(as);
            const bool writer = !enabled || as.empty() || (as != kNobody && as != callers[4]);
            EXPECT_EQ(answer, writer ? "b true\n" : "b false\n")
                << ::testing::PrintToString(as) << " enabled " << enabled;
            EXPECT_EQ(refused, writer ? 0 : static_cast<int>(everyWrite().size()))
                << ::testing::PrintToString(as) << " enabled " << enabled;
        }
        EXPECT_EQ(group(), enabled ? "s \"" + m_strGroup + "\"\n" : "s \"\"\n");
        m_pLoop.reset();
    }
    // A group that does not exist admits root alone.
    m_pLoop = std::make_unique<CServerLoop>(m_bus.address(), m_engine,
                                            MW::DBus::AuthOptions{true, "mw-no-such-group"});
    EXPECT_EQ(mayChange({}), "b true\n");
    EXPECT_EQ(mayChange(callers[3]), "b false\n");
    EXPECT_EQ(refusedWrites(callers[3]), static_cast<int>(everyWrite().size()));
}

// The match rules the daemon holds for the connection that owns `name`.
std::vector<std::string> matchRulesOf(const TestBus& bus, const std::string& name) {
    const auto owner = busctl(bus, {"call", "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                    "org.freedesktop.DBus", "GetNameOwner", "s", name});
    std::istringstream ownerText(owner.out);
    std::string type, unique;
    ownerText >> type >> std::quoted(unique);
    const auto rules = busctl(bus, {"call", "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                    "org.freedesktop.DBus.Debug.Stats", "GetAllMatchRules"});
    // a{sas} N "name" M "rule"... for each connection.
    std::istringstream in(rules.out);
    std::vector<std::string> found;
    std::size_t connections = 0;
    in >> type >> connections;
    for (std::size_t i = 0; i < connections; ++i) {
        std::string connection;
        std::size_t count = 0;
        in >> std::quoted(connection) >> count;
        for (std::size_t j = 0; j < count; ++j) {
            std::string rule;
            in >> std::quoted(rule);
            if (connection == unique)
                found.push_back(rule);
        }
    }
    return found;
}

TEST_F(BusAuth, OnlyTheDeparturesOfKnownCallersAreWatched) {
    start(true);
    const auto ownerRules = [&] {
        std::vector<std::string> rules;
        for (const auto& rule : matchRulesOf(m_bus, kService))
            if (rule.find("NameOwnerChanged") != std::string::npos)
                rules.push_back(rule);
        return rules;
    };
    // Nobody has written yet: the service wakes for no one joining or leaving.
    EXPECT_EQ(ownerRules(), std::vector<std::string>{});

    auto client = sdbus::createSessionBusConnectionWithAddress(m_bus.address());
    const std::string name = client->getUniqueName();
    auto proxy = sdbus::createProxy(*client, kService, kConfig);
    proxy->setProperty("ContactName").onInterface(kIConfig).toValue(std::string("member"));
    const auto rules = ownerRules();
    ASSERT_EQ(rules.size(), 1u) << ::testing::PrintToString(matchRulesOf(m_bus, kService));
    EXPECT_NE(rules[0].find("arg0='" + name + "'"), std::string::npos) << rules[0];

    // When the caller leaves, so does the rule (after the next check).
    proxy.reset();
    client.reset();
    EXPECT_TRUE(waitUntil([&] {
        EXPECT_EQ(refusedWrites({}), 0);
        return ownerRules().size() == 1 &&
               ownerRules()[0].find("arg0='" + name + "'") == std::string::npos;
    }));
}

TEST(CallerAuth, WithoutGroupsFromTheBusTheAccountsGroupsDecide) {
    using MW::DBus::CCallerAuth;
    CCallerAuth::Credentials nobody;
    nobody.uid = 65534; // nobody, whose primary group is 65534
    nobody.gidsKnown = false;
    const group* own = ::getgrgid(65534);
    if (!own || !::getpwuid(65534))
        GTEST_SKIP() << "no account 65534 here";
    EXPECT_TRUE(CCallerAuth::mayWrite(nobody, own->gr_name));
    EXPECT_FALSE(CCallerAuth::mayWrite(nobody, ::getgrgid(0)->gr_name));
    // The bus's answer, when it gives one, wins over the account.
    nobody.gidsKnown = true;
    EXPECT_FALSE(CCallerAuth::mayWrite(nobody, own->gr_name));
    nobody.gids = {0};
    EXPECT_TRUE(CCallerAuth::mayWrite(nobody, ::getgrgid(0)->gr_name));
    // No account, no groups; root always; an unknown group admits no one else.
    CCallerAuth::Credentials stranger;
    stranger.uid = 3999999;
    EXPECT_FALSE(CCallerAuth::mayWrite(stranger, own->gr_name));
    CCallerAuth::Credentials root;
    root.uid = 0;
    EXPECT_TRUE(CCallerAuth::mayWrite(root, "no-such-group-here"));
    EXPECT_FALSE(CCallerAuth::mayWrite(nobody, "no-such-group-here"));
}

TEST_F(BusAuth, WithTheCheckOffEveryoneMayWrite) {
    start(false);
    EXPECT_EQ(refusedWrites(kNobody), 0);
    EXPECT_EQ(m_engine.getConfig()->getScanFolder(), "/intruder");
    EXPECT_EQ(m_engine.getConfig()->getStartTime(), 12345.5);
    EXPECT_EQ(m_scanNow.calls, 1);
}

} // namespace
