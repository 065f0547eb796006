// The connection policy and the event reactions against the real service:
// activation failure, a restarted service, a service gone for good, a scan.

#include "CContactUsDlg.h"
#include "COverviewDlg.h"
#include "CSettingsDlg.h"
#include "CTrayNotificationDlg.h"
#include "MainFixture.h"

#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>
#include <filesystem>
#include <sys/stat.h>

namespace MW::Test {
namespace {

const QString kConnectFailed =
    QStringLiteral("Failed to connect to service. Terminating the program.");

using Connection = MainFixture;

TEST(ConnectionWithoutService, AServiceThatCannotBeActivatedEndsTheProgramWith254AfterOneMessage) {
    ServiceEnvironment service(ServiceEnvironment::Options{false});
    service.applyToProcess();
    MessageBoxRecorder boxes;
    CMainDlg dialog;
    int requested = -1;
    QObject::connect(&dialog, &CMainDlg::exitRequested, [&](int s) { requested = s; });
    EXPECT_FALSE(dialog.OnInitDialog());
    ASSERT_EQ(boxes.count(), 1) << boxes.texts();
    EXPECT_EQ(boxes.boxes()[0].text, kConnectFailed);
    EXPECT_EQ(boxes.boxes()[0].caption, QStringLiteral("Error!"));
    EXPECT_EQ(boxes.boxes()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(dialog.exitStatus(), 254);
    EXPECT_EQ(requested, 254);
    EXPECT_FALSE(dialog.isVisible());
    // Nothing works on after the end was requested.
    dialog.session().SaveSettings(true);
    dialog.Show();
    EXPECT_EQ(boxes.count(), 1);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(Connection, ARestartedServiceIsReportedOnTheNextCallThenReconnectedReloadedAndHeard) {
    auto dialog = start();
    ASSERT_FALSE(dialog->exitStatus());
    const QString oldOwner = dialog->session().link().engineOwner();
    ASSERT_TRUE(service.killService());
    ASSERT_TRUE(service.activate());
    ASSERT_TRUE(service.setConfig("ContactName", "s", "set while away"));
    boxes.clear();

    // The next call that needs the service fails, is reported, and one new
    // connection loads every value again.
    dialog->session().SaveSettings(true);
    ASSERT_GE(boxes.count(), 1);
    const QString first = boxes.boxes()[0].text;
    EXPECT_TRUE(first.startsWith(QStringLiteral("Service is unavailable. ")))
        << first.toStdString();
    EXPECT_TRUE(first.endsWith(QStringLiteral(" Click Ok to try to reconnetct.")));
    EXPECT_GT(first.size(),
              QStringLiteral("Service is unavailable.  Click Ok to try to reconnetct.").size())
        << "the error text is in the message";
    EXPECT_EQ(messagesWith(QStringLiteral("Service is unavailable. ")), 1) << boxes.texts();
    EXPECT_NE(dialog->session().link().engineOwner(), oldOwner);
    EXPECT_EQ(dialog->contact().GetName(), QStringLiteral("set while away"));
    EXPECT_EQ(dialog->overview().engine(), &dialog->session().link());
    EXPECT_FALSE(dialog->exitStatus());

    // Subscribed to the new service: its test event shows the observer's box.
    boxes.clear();
    ASSERT_TRUE(service.callEngine({"fireEvent", "i", "4"}));
    ASSERT_TRUE(spinUntil([&] { return boxes.count() > 0; }, 20000));
    EXPECT_EQ(boxes.boxes()[0].text, QStringLiteral("CMWObserver::test()"));
    EXPECT_EQ(boxes.boxes()[0].caption, QStringLiteral("Info"));
    EXPECT_EQ(boxes.boxes()[0].icon, QMessageBox::NoIcon);
}

TEST_F(Connection, AServiceGoneForGoodEndsTheProgramWith254AtTheReconnection) {
    auto dialog = start();
    ASSERT_FALSE(dialog->exitStatus());
    std::filesystem::remove(service.sandbox().dir / "activation/org.morrowick.Service.service");
    ASSERT_TRUE(service.killService());
    // The bus notices the removed activation file on its next reload.
    ASSERT_EQ(busctl(service.address(), {"call", "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                         "org.freedesktop.DBus", "ReloadConfig"})
                  .status,
              0);
    boxes.clear();
    dialog->session().SaveSettings(true);
    ASSERT_EQ(boxes.count(), 2) << boxes.texts();
    EXPECT_TRUE(boxes.boxes()[0].text.startsWith(QStringLiteral("Service is unavailable. ")));
    EXPECT_EQ(boxes.boxes()[1].text, kConnectFailed);
    EXPECT_EQ(dialog->exitStatus(), 254);
    EXPECT_FALSE(dialog->session().observer().isAdvised() && dialog->session().link().hasEngine());
}

TEST_F(Connection, AScanReachesTheReactionsInOrder) {
    TempDir tree;
    ::chmod(tree.path().c_str(), 0755);
    const std::string oldFile = tree / "old.bak", kept = tree / "kept.bak";
    writeFile(oldFile, std::string(3 * 1048576, 'x'));
    writeFile(kept, "read-only files are kept");
    ::chmod(kept.c_str(), 0444);
    setAge(oldFile, 40 * 86400);
    setAge(kept, 40 * 86400);
    ASSERT_TRUE(service.activate());
    ASSERT_TRUE(service.setConfig("ScanFolder", "s", tree.path()));
    ASSERT_TRUE(service.setConfig("FileTypes", "s", ".bak"));
    ASSERT_TRUE(service.setConfig("DeleteAge", "i", "1"));
    ASSERT_TRUE(service.setConfig("CleanedSpace", "t", "0"));

    auto dialog = start();
    ASSERT_FALSE(dialog->exitStatus());
    dialog->contact().SetName(QStringLiteral("saved at scan start"));

    // Watchers connected after the window's own reactions see their effects.
    QStringList seen;
    CServiceLink& link = dialog->session().link();
    QObject::connect(&link, &CServiceLink::scanStarted, [&] {
        seen << QStringLiteral("started");
        EXPECT_FALSE(dialog->settings().startTimeEdit()->isEnabled());
        EXPECT_FALSE(dialog->overview().scanNowButton()->isEnabled());
        EXPECT_FALSE(dialog->overview().resetCountButton()->isEnabled());
        EXPECT_EQ(quoted(service.getConfig("ContactName")), QStringLiteral("saved at scan start"));
    });
    QObject::connect(&link, &CServiceLink::updateCleanedSpace, [&](quint64 total) {
        seen << QStringLiteral("space");
        EXPECT_EQ(total, 3u * 1048576);
        EXPECT_EQ(dialog->overview().cleanedSpaceLabel()->text(), QStringLiteral("3.00"));
    });
    QObject::connect(&link, &CServiceLink::scanFinished, [&] {
        seen << QStringLiteral("finished");
        EXPECT_TRUE(dialog->settings().startTimeEdit()->isEnabled());
        EXPECT_TRUE(dialog->overview().scanNowButton()->isEnabled());
        EXPECT_FALSE(dialog->overview().lastScanLabel()->text().isEmpty());
        EXPECT_TRUE(dialog->notification().isVisible());
        EXPECT_EQ(dialog->notification().m_strListPath.toStdString(),
                  service.stateFile("undeleted.tmp"));
    });

    dialog->overview().OnScanNow();
    ASSERT_TRUE(spinUntil([&] { return seen.contains(QStringLiteral("finished")); }));
    EXPECT_EQ(seen, QStringList({"started", "space", "finished"}));
    EXPECT_EQ(quoted(service.getConfig("LastScan")), dialog->overview().lastScanLabel()->text());
    EXPECT_EQ(dialog->notification().m_strText,
              QStringLiteral("There is an undeleted file. Left click for details."));
    EXPECT_FALSE(exists(oldFile));
    EXPECT_EQ(messagesWith(QStringLiteral("Service")) + messagesWith(QStringLiteral("ailed")), 0)
        << boxes.texts();
    dialog->notification().hide();
}

} // namespace
} // namespace MW::Test
