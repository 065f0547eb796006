// The window, its pages and the hiding rules, with the real service behind them.

#include "CContactUsDlg.h"
#include "COverviewDlg.h"
#include "CSettingsDlg.h"
#include "ContractSupport.h"
#include "DialogUnits.h"
#include "MainFixture.h"
#include "Screenshots.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimeEdit>
#include <csignal>

namespace MW::Test {
namespace {

using MainWindow = MainFixture;

TEST_F(MainWindow, StartsConnectedWithTheServicesValuesInItsPages) {
    TempDir drawings;
    ASSERT_TRUE(service.activate());
    ASSERT_TRUE(service.setConfig("ScanFolder", "s", drawings.path()));
    ASSERT_TRUE(service.setConfig("ContactName", "s", "Zoë Brandt"));
    ASSERT_TRUE(service.setConfig("ContactEmail", "s", "zoe@example.org"));
    ASSERT_TRUE(service.setConfig("LastScan", "s", "07/04/99"));
    ASSERT_TRUE(service.setConfig("CleanedSpace", "t", "5368709120"));

    auto dialog = start();
    ASSERT_FALSE(dialog->exitStatus());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Morrowick"));
    const DialogUnits du(dialog->font());
    EXPECT_EQ(dialog->size(), du.size(306, 269));
    EXPECT_EQ(dialog->tabs()->geometry(), du.rect(7, 7, 292, 255));
    ASSERT_EQ(dialog->tabs()->count(), 3);
    EXPECT_EQ(dialog->tabs()->tabText(0), QStringLiteral("  Overview  "));
    EXPECT_EQ(dialog->tabs()->tabText(1), QStringLiteral("  Settings  "));
    EXPECT_EQ(dialog->tabs()->tabText(2), QStringLiteral(" Contact Us "));
    EXPECT_EQ(dialog->tabs()->currentIndex(), 0);

    EXPECT_EQ(dialog->settings().GetFolder(), QString::fromStdString(drawings.path()));
    EXPECT_EQ(dialog->contact().GetName(), QStringLiteral("Zoë Brandt"));
    EXPECT_EQ(dialog->contact().GetEmail(), QStringLiteral("zoe@example.org"));
    EXPECT_EQ(dialog->overview().lastScanLabel()->text(), QStringLiteral("07/04/99"));
    EXPECT_EQ(dialog->overview().cleanedSpaceLabel()->text(), QStringLiteral("5120.00"));
    EXPECT_EQ(dialog->overview().engine(), &dialog->session().link());
    EXPECT_TRUE(dialog->session().observer().isAdvised());
    EXPECT_EQ(messagesWith(QStringLiteral("Service")), 0) << boxes.texts();

    dialog->Show();
    ASSERT_TRUE(spinUntil([&] { return dialog->isVisible(); }));
    EXPECT_FALSE(saveScreenshot(dialog.get(), QStringLiteral("main_window")).isEmpty());
    dialog->tabs()->setCurrentIndex(1);
    EXPECT_FALSE(saveScreenshot(dialog.get(), QStringLiteral("main_window_settings")).isEmpty());
    dialog->tabs()->setCurrentIndex(2);
    EXPECT_FALSE(saveScreenshot(dialog.get(), QStringLiteral("main_window_contact")).isEmpty());
}

TEST_F(MainWindow, CloseAndMinimiseSaveTheShownValuesFirst) {
    auto dialog = start();
    ASSERT_FALSE(dialog->exitStatus());
    dialog->Show();
    ASSERT_TRUE(spinUntil([&] { return dialog->isVisible(); }));

    // Without a tray host (as here) closing and minimising only minimise: a
    // hidden window could not be brought back. Both save.
    ASSERT_FALSE(dialog->hasTray());
    dialog->contact().nameEdit()->setText(QStringLiteral("closed"));
    EXPECT_FALSE(dialog->close()) << "the close box must not close the window";
    EXPECT_FALSE(dialog->exitStatus());
    ASSERT_TRUE(spinUntil(
        [&] { return quoted(service.getConfig("ContactName")) == QStringLiteral("closed"); },
        20000));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->isMinimized());

    dialog->Show();
    EXPECT_FALSE(dialog->isMinimized());
    dialog->contact().nameEdit()->setText(QStringLiteral("minimised"));
    dialog->showMinimized();
    ASSERT_TRUE(spinUntil(
        [&] { return quoted(service.getConfig("ContactName")) == QStringLiteral("minimised"); },
        20000));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->isMinimized());
    dialog->Show();
    EXPECT_FALSE(dialog->isMinimized()) << "Show restores a minimised window";
}

TEST_F(MainWindow, EnterClicksOnlyTheNamedButtonsAndEscapeDoesNothing) {
    // The scans started here walk an empty folder.
    TempDir empty;
    ASSERT_TRUE(service.activate());
    ASSERT_TRUE(service.setConfig("ScanFolder", "s", empty.path()));
    auto dialog = start();
    dialog->Show();
    ASSERT_TRUE(spinUntil([&] { return dialog->isVisible(); }));
    bool scanStarted = false;
    QObject::connect(&dialog->session().link(), &CServiceLink::scanStarted, [&] { scanStarted = true; });

    // Enter in a text field and Escape anywhere: nothing happens.
    QTest::keyClick(dialog->contact().nameEdit(), Qt::Key_Return);
    QTest::keyClick(dialog->settings().folderEdit(), Qt::Key_Enter);
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QTest::keyClick(dialog->overview().scanNowButton(), Qt::Key_Escape);
    spinFor(300);
    EXPECT_FALSE(scanStarted);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->exitStatus());

    // Enter on "Scan Now" clicks it.
    QTest::keyClick(dialog->overview().scanNowButton(), Qt::Key_Return);
    EXPECT_TRUE(spinUntil([&] { return scanStarted; }, 20000));
    ASSERT_TRUE(spinUntil([&] { return dialog->overview().resetCountButton()->isEnabled(); }));

    // Enter on "Reset Count" resets the service's total.
    ASSERT_TRUE(service.setConfig("CleanedSpace", "t", "1048576"));
    QTest::keyClick(dialog->overview().resetCountButton(), Qt::Key_Enter);
    EXPECT_EQ(service.getConfig("CleanedSpace"), "t 0");
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(MainWindow, EndingRequestsSaveAndGiveTheirExitStatus) {
    {
        auto dialog = start();
        dialog->contact().nameEdit()->setText(QStringLiteral("terminated"));
        int requested = -1;
        QObject::connect(dialog.get(), &CMainDlg::exitRequested, [&](int s) { requested = s; });
        dialog->OnCloseRequest();
        EXPECT_EQ(requested, 253);
        EXPECT_EQ(dialog->exitStatus(), 253);
        EXPECT_EQ(quoted(service.getConfig("ContactName")), QStringLiteral("terminated"));
        EXPECT_FALSE(dialog->session().observer().isAdvised());
        // Later requests do not change the status.
        dialog->OnExit();
        EXPECT_EQ(dialog->exitStatus(), 253);
    }
    {
        auto dialog = start();
        dialog->contact().nameEdit()->setText(QStringLiteral("exited"));
        dialog->OnExit();
        EXPECT_EQ(dialog->exitStatus(), 255);
        EXPECT_EQ(quoted(service.getConfig("ContactName")), QStringLiteral("exited"));
    }
    {
        auto dialog = start();
        dialog->contact().nameEdit()->setText(QStringLiteral("logged off"));
        dialog->OnEndSession();
        EXPECT_EQ(dialog->exitStatus(), 255);
        EXPECT_EQ(quoted(service.getConfig("ContactName")), QStringLiteral("logged off"));
    }
}

// The session manager asks for the data at log-out, which may still be
// cancelled, and at checkpoints: the program saves and goes on.
TEST_F(MainWindow, TheSessionManagersRequestForTheDataOnlySaves) {
    auto dialog = start();
    dialog->contact().nameEdit()->setText(QStringLiteral("committed"));
    int requested = -1;
    QObject::connect(dialog.get(), &CMainDlg::exitRequested, [&](int s) { requested = s; });
    dialog->OnCommitData();
    EXPECT_EQ(quoted(service.getConfig("ContactName")), QStringLiteral("committed"));
    EXPECT_FALSE(dialog->exitStatus());
    EXPECT_EQ(requested, -1);
    EXPECT_TRUE(dialog->session().observer().isAdvised());
    // It goes on working, and ends when asked to.
    dialog->contact().nameEdit()->setText(QStringLiteral("then terminated"));
    dialog->OnCloseRequest();
    EXPECT_EQ(dialog->exitStatus(), 253);
    EXPECT_EQ(quoted(service.getConfig("ContactName")), QStringLiteral("then terminated"));
}

// A frozen service: the save at the end gives up after one bound for all its
// calls, the program ends with a failure status and says so on standard error.
TEST_F(MainWindow, WithAHungServiceTheEndIsBoundedAndReportsTheUnsavedSettings) {
    auto dialog = start();
    ASSERT_FALSE(dialog->exitStatus());
    dialog->contact().nameEdit()->setText(QStringLiteral("not saved"));
    const int pid = service.servicePid();
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    testing::internal::CaptureStderr();
    QElapsedTimer clock;
    clock.start();
    dialog->OnCloseRequest();
    const auto elapsed = clock.elapsed();
    const std::string err = testing::internal::GetCapturedStderr();
    ::kill(pid, SIGCONT);
    EXPECT_LT(elapsed, CMainDlg::kEndSaveMs + 3000);
    EXPECT_EQ(dialog->exitStatus(), eES_SaveFailed);
    EXPECT_NE(err.find("mwconfig: the settings could not be saved before the end: "),
              std::string::npos)
        << err;
    EXPECT_EQ(boxes.count(), 0) << "SIGTERM shows no message";
}

// A load that cannot complete leaves the page without the service's values:
// it says so and offers nothing to edit, and nothing is saved from it.
TEST_F(MainWindow, ASettingsPageThatCouldNotBeLoadedSaysSoAndInvitesNoEdits) {
    TempDir drawings;
    ASSERT_TRUE(service.activate());
    ASSERT_TRUE(service.setConfig("ScanFolder", "s", drawings.path()));
    const int pid = service.servicePid();
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    auto dialog = std::make_unique<CMainDlg>();
    dialog->session().link().setDeadline(QDeadlineTimer(2000));
    EXPECT_TRUE(dialog->OnInitDialog());
    dialog->session().link().setDeadline(QDeadlineTimer(QDeadlineTimer::Forever));
    ::kill(pid, SIGCONT);

    CSettingsDlg& settings = dialog->settings();
    EXPECT_FALSE(settings.isLoaded());
    EXPECT_TRUE(settings.readOnlyNote()->isVisibleTo(&settings));
    EXPECT_EQ(settings.readOnlyNote()->text(), CSettingsDlg::kNotLoaded);
    EXPECT_FALSE(settings.folderEdit()->isEnabled());
    EXPECT_FALSE(settings.ageButton(0)->isEnabled());
    EXPECT_FALSE(settings.startTimeEdit()->isEnabled());
    dialog->show();
    dialog->tabs()->setCurrentWidget(&settings);
    EXPECT_FALSE(saveScreenshot(dialog.get(), QStringLiteral("main_window_not_loaded")).isEmpty());

    // Hiding saves: nothing of the page's defaults is written, and the values
    // are loaded instead.
    boxes.clear();
    dialog->close();
    ASSERT_TRUE(spinUntil([&] { return settings.isLoaded(); }, 20000));
    EXPECT_EQ(quoted(service.getConfig("ScanFolder")), QString::fromStdString(drawings.path()));
    EXPECT_EQ(settings.folderEdit()->text(), QString::fromStdString(drawings.path()));
    EXPECT_TRUE(settings.folderEdit()->isEnabled());
    EXPECT_FALSE(settings.readOnlyNote()->isVisibleTo(&settings));
}

// Another client's change reaches the pages where the user has not changed that
// value; an edit under way stays, and is what the next save writes.
TEST_F(MainWindow, ThePagesFollowChangesInTheServiceButKeepTheUsersEdits) {
    if (const std::string why = configChangesNotAnnounced(MW_CONTRACT_XML_FILE); !why.empty())
        GTEST_SKIP() << why;
    TempDir before, after;
    ASSERT_TRUE(service.activate());
    ASSERT_TRUE(service.setConfig("ScanFolder", "s", before.path()));
    auto dialog = start();
    ASSERT_FALSE(dialog->exitStatus());
    dialog->contact().nameEdit()->setText(QStringLiteral("typed, not saved"));

    ASSERT_TRUE(service.setConfig("ScanFolder", "s", after.path()));
    ASSERT_TRUE(service.setConfig("ContactName", "s", "from another client"));
    ASSERT_TRUE(service.setConfig("DeleteAge", "i", "4"));
    ASSERT_TRUE(spinUntil([&] { return dialog->settings().ageButton(4)->isChecked(); }, 10000));
    EXPECT_EQ(dialog->settings().folderEdit()->text(), QString::fromStdString(after.path()));
    EXPECT_EQ(dialog->contact().nameEdit()->text(), QStringLiteral("typed, not saved"));

    dialog->OnExit();
    EXPECT_EQ(dialog->exitStatus(), 255);
    EXPECT_EQ(quoted(service.getConfig("ScanFolder")), QString::fromStdString(after.path()));
    EXPECT_EQ(service.getConfig("DeleteAge"), "i 4");
    EXPECT_EQ(quoted(service.getConfig("ContactName")), QStringLiteral("typed, not saved"));
}

} // namespace
} // namespace MW::Test
