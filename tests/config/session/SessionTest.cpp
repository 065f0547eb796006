// The configurator's session without widgets, against the real mwservice on a
// private bus: what it loads, what a save writes, and how it keeps the user's
// edits and the service's settings through failures.

#include "CServiceSession.h"
#include "ContractSupport.h"
#include "RecordingView.h"
#include "ServiceEnvironment.h"
#include "Spin.h"

#include <QElapsedTimer>
#include <csignal>
#include <gtest/gtest.h>

namespace MW::Test {
namespace {

class Session : public ServiceTest {
protected:
    Session() { session.observer().setOwner(&session); }
    std::string config(const std::string& name) const { return service.getConfig(name); }

    RecordingView view;
    CServiceSession session{view};
};

TEST_F(Session, ConnectingSubscribesAndLoadsEveryValue) {
    ASSERT_TRUE(service.activate());
    ASSERT_TRUE(service.setConfig("ScanFolder", "s", "/srv/drawings"));
    ASSERT_TRUE(service.setConfig("DeleteAge", "i", "3"));
    ASSERT_TRUE(service.setConfig("ProxyUsage", "i", "1"));
    ASSERT_TRUE(service.setConfig("ProxyServer", "s", "proxy.example.org"));
    ASSERT_TRUE(service.setConfig("ProxyPort", "s", "3128"));
    ASSERT_TRUE(service.setConfig("ContactName", "s", "Ann"));
    ASSERT_TRUE(service.setConfig("LastScan", "s", "07/04/99"));
    ASSERT_TRUE(service.setConfig("CleanedSpace", "t", "5000000000"));

    ASSERT_TRUE(session.ConnectService(true));
    EXPECT_TRUE(view.messages.isEmpty()) << view.messages.join('\n').toStdString();
    EXPECT_TRUE(view.loaded);
    EXPECT_TRUE(session.isLoaded());
    EXPECT_EQ(view.engine, &session.link());
    EXPECT_TRUE(session.observer().isAdvised());
    EXPECT_FALSE(view.readOnly);
    EXPECT_FALSE(view.scanRunning);
    EXPECT_EQ(view.shown.scanFolder, "/srv/drawings");
    EXPECT_EQ(view.shown.deleteAge, 3);
    EXPECT_TRUE(view.shown.proxy.useProxy);
    EXPECT_EQ(view.shown.contactName, "Ann");
    EXPECT_EQ(view.lastScan, QStringLiteral("07/04/99"));
    EXPECT_EQ(view.cleanedSpace, 5000000000u);
    EXPECT_EQ(view.contactProxy.server, "proxy.example.org");
    EXPECT_EQ(view.contactProxy.port, 3128);

    // Nothing changed, nothing written: the service's values stay as they are.
    ASSERT_TRUE(service.setConfig("ContactName", "s", "changed by another client"));
    EXPECT_TRUE(session.SaveSettings(true));
    EXPECT_EQ(config("ContactName"), "s \"changed by another client\"");
}

// A load that fails leaves the pages with nothing of the service's: a save then
// writes none of their defaults over its settings, and loads instead.
TEST_F(Session, UntilALoadHasCompletedASaveWritesNothingAndLoadsInstead) {
    ASSERT_TRUE(service.activate());
    ASSERT_TRUE(service.setConfig("ScanFolder", "s", "/srv/drawings"));
    ASSERT_TRUE(service.setConfig("DeleteAge", "i", "3"));
    ASSERT_TRUE(service.setConfig("ContactName", "s", "Kept"));
    // What the Settings page shows before any load.
    view.shown.scanFolder = "/";
    const int pid = service.servicePid();
    // The service stalls while the values load: every call times out.
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    session.link().setDeadline(QDeadlineTimer(2000));
    EXPECT_TRUE(session.ConnectService(false)) << "reachable, only silent";
    session.link().setDeadline(QDeadlineTimer(QDeadlineTimer::Forever));
    ::kill(pid, SIGCONT);
    EXPECT_FALSE(session.isLoaded());
    EXPECT_FALSE(view.loaded);
    EXPECT_EQ(view.loads, 0) << "nothing reached the pages";

    EXPECT_TRUE(session.SaveSettings(true));
    EXPECT_EQ(config("ScanFolder"), "s \"/srv/drawings\"");
    EXPECT_EQ(config("DeleteAge"), "i 3");
    EXPECT_EQ(config("ContactName"), "s \"Kept\"");
    // The save loaded instead: the pages hold the service's values now.
    EXPECT_TRUE(view.loaded);
    EXPECT_EQ(view.shown.scanFolder, "/srv/drawings");
    EXPECT_EQ(view.shown.deleteAge, 3);
}

// A save whose first call finds the service restarted reconnects and reloads;
// the values it then writes are the user's edits, over whatever the new service
// holds, and nothing else.
TEST_F(Session, ASaveThatHasToReconnectKeepsTheUsersEdits) {
    ASSERT_TRUE(session.ConnectService(true));
    view.shown.contactName = "edited before the restart";
    view.shown.deleteAge = 5;
    ASSERT_TRUE(service.killService());
    ASSERT_TRUE(service.activate());
    ASSERT_TRUE(service.setConfig("ScanFolder", "s", "/set/while/away"));

    EXPECT_TRUE(session.SaveSettings(true));
    ASSERT_EQ(view.messages.size(), 1) << view.messages.join('\n').toStdString();
    EXPECT_TRUE(view.messages[0].startsWith(QStringLiteral("Error!|Service is unavailable. ")));
    EXPECT_EQ(config("ContactName"), "s \"edited before the restart\"");
    EXPECT_EQ(config("DeleteAge"), "i 5");
    EXPECT_EQ(config("ScanFolder"), "s \"/set/while/away\"") << "not an edit: not written";
    // The pages show the new service's values with the edits over them.
    EXPECT_EQ(view.shown.scanFolder, "/set/while/away");
    EXPECT_EQ(view.shown.contactName, "edited before the restart");
    EXPECT_EQ(view.shown.deleteAge, 5);
}

// Two writers: what another client changed survives this one's saves unless the
// user changed that same value.
TEST_F(Session, ASaveWritesOnlyWhatTheUserChanged) {
    ASSERT_TRUE(service.activate());
    ASSERT_TRUE(service.setConfig("ScanFolder", "s", "/a"));
    ASSERT_TRUE(session.ConnectService(true));
    view.shown.contactName = "typed here";
    ASSERT_TRUE(service.setConfig("ScanFolder", "s", "/b"));
    ASSERT_TRUE(service.setConfig("DeleteAge", "i", "1"));

    EXPECT_TRUE(session.SaveSettings(true));
    EXPECT_EQ(config("ScanFolder"), "s \"/b\"");
    EXPECT_EQ(config("DeleteAge"), "i 1");
    EXPECT_EQ(config("ContactName"), "s \"typed here\"");
    // Written once: the next save has nothing left to write.
    ASSERT_TRUE(service.setConfig("ContactName", "s", "changed again elsewhere"));
    EXPECT_TRUE(session.SaveSettings(true));
    EXPECT_EQ(config("ContactName"), "s \"changed again elsewhere\"");
}

TEST_F(Session, ChangesInTheServiceReachTheValuesTheUserIsNotEditing) {
    if (const std::string why = configChangesNotAnnounced(MW_CONTRACT_XML_FILE); !why.empty())
        GTEST_SKIP() << why;
    ASSERT_TRUE(session.ConnectService(true));
    view.shown.deleteAge = 5; // being edited
    ASSERT_TRUE(service.setConfig("ScanFolder", "s", "/from/elsewhere"));
    ASSERT_TRUE(service.setConfig("DeleteAge", "i", "1"));
    ASSERT_TRUE(service.setConfig("LastScan", "s", "01/02/03"));
    ASSERT_TRUE(spinUntil([&] { return view.shown.scanFolder == "/from/elsewhere"; }, 10000));
    ASSERT_TRUE(spinUntil([&] { return session.loadedSettings().deleteAge == 1; }, 10000));
    EXPECT_EQ(view.shown.deleteAge, 5) << "the edit stays";
    EXPECT_TRUE(spinUntil([&] { return view.lastScan == QStringLiteral("01/02/03"); }, 10000));

    EXPECT_TRUE(session.SaveSettings(true));
    EXPECT_EQ(config("ScanFolder"), "s \"/from/elsewhere\"");
    EXPECT_EQ(config("DeleteAge"), "i 5");
}

// The scan-finished event of a scan that ends while the values load (after the
// busy state was read) must not be lost: the subscription comes first.
TEST(SessionDuringAScan, AScanEndingWhileTheValuesLoadIsHeard) {
    ServiceEnvironment::Options options;
    options.scanPauseMs = 3000; // between scanStarted and the walk
    ServiceEnvironment service(options);
    service.applyToProcess();
    RecordingView view;
    CServiceSession session(view);
    session.observer().setOwner(&session);
    TempDir empty;
    ASSERT_TRUE(service.activate());
    ASSERT_TRUE(service.setConfig("ScanFolder", "s", empty.path()));
    ASSERT_TRUE(service.callEngine({"scanNow"}));
    ASSERT_TRUE(spinUntil([&] { return service.getEngine("ActivityState") == "i 1"; }, 10000));

    bool ended = false;
    QObject::connect(&session, &CServiceSession::settingsLoaded, [&] {
        // The load has read the busy state; the scan ends before anything else runs.
        ended = waitUntil([&] { return service.getEngine("ActivityState") == "i 0"; }, 30);
    });
    ASSERT_TRUE(session.ConnectService(true));
    ASSERT_TRUE(ended);
    EXPECT_TRUE(view.scanRunning) << "loaded while the scan ran";
    EXPECT_TRUE(spinUntil([&] { return !view.scanRunning; }, 10000))
        << "the scan's end was not heard: the buttons stay disabled";
    EXPECT_TRUE(view.messages.isEmpty()) << view.messages.join('\n').toStdString();
}

// The save at the end of the program has one bound for all its calls, and a
// reconnection inside it cannot end the program by itself.
TEST_F(Session, TheSaveAtTheEndIsBoundedAsAWhole) {
    ASSERT_TRUE(session.ConnectService(true));
    view.shown.contactName = "to be saved";
    const int pid = service.servicePid();
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    QElapsedTimer clock;
    clock.start();
    const bool saved = session.SaveSettingsWithin(3000, false);
    const auto elapsed = clock.elapsed();
    ::kill(pid, SIGCONT);
    EXPECT_FALSE(saved);
    EXPECT_LT(elapsed, 6000) << "a time-out per call instead of one for all";
    EXPECT_FALSE(session.lastError().isEmpty());
    EXPECT_FALSE(view.ended);
    EXPECT_TRUE(view.messages.isEmpty());

    // The edit is still there, and the next save writes it.
    EXPECT_TRUE(session.SaveSettings(true));
    EXPECT_EQ(config("ContactName"), "s \"to be saved\"");
}

TEST(SessionWithoutService, AServiceThatCannotBeActivatedEndsTheProgramOnce) {
    ServiceEnvironment service(ServiceEnvironment::Options{false});
    service.applyToProcess();
    RecordingView view;
    CServiceSession session(view);
    EXPECT_FALSE(session.ConnectService(true));
    EXPECT_EQ(view.ended, 254);
    EXPECT_EQ(view.messages,
              QStringList{"Error!|Failed to connect to service. Terminating the program."});
    // Nothing works on after that.
    EXPECT_FALSE(session.SaveSettings(true));
    EXPECT_FALSE(session.ConnectService(true));
    EXPECT_EQ(view.messages.size(), 1);
}

} // namespace
} // namespace MW::Test
