// The Overview page's commands and its view of a scan, against the real service.

#include "Formatting.h"
#include "MessageBoxes.h"
#include "PageTestSupport.h"
#include "PagesHarness.h"
#include "QtValues.h"
#include "Screenshots.h"
#include "ServiceEnvironment.h"
#include "Spin.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimeEdit>
#include <gtest/gtest.h>
#include <utime.h>

namespace MW::Test {
namespace {

using OverviewTest = ServiceTest;

// An old file of `bytes` bytes.
void oldFile(const QString& path, qint64 bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.resize(bytes);
    file.close();
    const time_t when = ::time(nullptr) - 30 * 86400;
    const utimbuf times{when, when};
    ASSERT_EQ(::utime(path.toLocal8Bit().constData(), &times), 0);
}

bool buttonsEnabled(const COverviewDlg& page) {
    return page.scanNowButton()->isEnabled() && page.resetCountButton()->isEnabled();
}
bool buttonsDisabled(const COverviewDlg& page) {
    return !page.scanNowButton()->isEnabled() && !page.resetCountButton()->isEnabled();
}

TEST_F(OverviewTest, ScanNowFollowsTheTotalLiveAndTheButtonsReturnWhenItEnds) {
    ScratchDir tree;
    ASSERT_TRUE(QDir().mkpath(tree.path("a/b")));
    oldFile(tree.path("one.bak"), 1 << 20);
    oldFile(tree.path("a/two.bak"), 2 << 20);
    oldFile(tree.path("a/b/three.dwl"), 3 << 20);
    oldFile(tree.path("a/keep.txt"), 1 << 20);

    PagesHarness pages;
    ASSERT_TRUE(pages.link().createEngine());
    pages.load();
    pages.followEvents();
    pages.settings->SetFolder(tree.path());
    pages.settings->ApplyFileTypes(".bak,.dwl");
    pages.settings->SetDeleteAge(1); // a week

    // What the page shows each time the total moves, and the button states then.
    QStringList shown;
    bool disabledThroughout = true;
    bool finished = false;
    QObject::connect(&pages.link(), &CServiceLink::updateCleanedSpace, [&](quint64 total) {
        shown << pages.overview->cleanedSpaceLabel()->text();
        EXPECT_EQ(shown.last(), Link::toQString(Client::FormatMegabytes(total)));
        disabledThroughout = disabledThroughout && buttonsDisabled(*pages.overview);
    });
    QObject::connect(&pages.link(), &CServiceLink::scanFinished, [&] { finished = true; });

    pages.overview->scanNowButton()->click();
    EXPECT_TRUE(buttonsDisabled(*pages.overview)) << "disabled at once";
    ASSERT_TRUE(spinUntil([&] { return finished; }, 60000));
    // The scan-started reaction saved the pages' edits before the walk began.
    EXPECT_EQ(service.getConfig("FileTypes"), "s \".bak,.dwl\"");
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown.last(), "6.00");
    EXPECT_TRUE(disabledThroughout);
    EXPECT_TRUE(buttonsEnabled(*pages.overview));
    EXPECT_TRUE(pages.settings->startTimeEdit()->isEnabled());
    EXPECT_TRUE(QRegularExpression("^\\d\\d/\\d\\d/\\d\\d$")
                    .match(pages.overview->lastScanLabel()->text())
                    .hasMatch())
        << pages.overview->lastScanLabel()->text().toStdString();
    EXPECT_FALSE(QFile::exists(tree.path("a/b/three.dwl")));
    EXPECT_TRUE(QFile::exists(tree.path("a/keep.txt")));
    EXPECT_EQ(service.getConfig("CleanedSpace"), "t 6291456");
}

TEST_F(OverviewTest, ResetCountShowsZeroAtOnceAndTheServiceReadsZero) {
    ASSERT_TRUE(service.activate());
    ASSERT_TRUE(service.setConfig("CleanedSpace", "t", "5000000000"));
    ASSERT_TRUE(service.setConfig("LastScan", "s", "07/04/99"));
    PagesHarness pages;
    ASSERT_TRUE(pages.link().createEngine());
    pages.load();
    EXPECT_EQ(pages.overview->cleanedSpaceLabel()->text(), "4768.37");

    pages.overview->resize(pages.overview->sizeHint());
    showActive(pages.overview);
    EXPECT_FALSE(saveScreenshot(pages.overview, QStringLiteral("pages_overview")).isEmpty());
    pages.tabs.resize(pages.tabs.sizeHint());
    showActive(&pages.tabs);
    pages.tabs.setCurrentWidget(pages.settings);
    EXPECT_FALSE(saveScreenshot(&pages.tabs, QStringLiteral("pages_tabs_settings")).isEmpty());

    MessageBoxRecorder boxes;
    pages.overview->resetCountButton()->click();
    EXPECT_EQ(pages.overview->cleanedSpaceLabel()->text(), "0.00");
    EXPECT_EQ(service.getConfig("CleanedSpace"), "t 0");
    EXPECT_EQ(boxes.count(), 0);
    EXPECT_TRUE(buttonsEnabled(*pages.overview)) << "no confirmation, no waiting";
}

TEST_F(OverviewTest, WithoutAnEngineEachCommandSaysSoAndAsksForOneReconnection) {
    PagesHarness pages;
    MessageBoxRecorder boxes;
    pages.overview->scanNowButton()->click();
    pages.overview->resetCountButton()->click();
    ASSERT_EQ(boxes.count(), 2);
    EXPECT_EQ(boxes.boxes()[0].text, "Service is unavailable. Trying to recconect...");
    EXPECT_EQ(boxes.boxes()[1].text, "Service is unavailable. Trying to reconnect...");
    for (const AnsweredBox& box : boxes.boxes()) {
        EXPECT_EQ(box.caption, "Error!");
        EXPECT_EQ(box.icon, QMessageBox::Critical);
    }
    EXPECT_EQ(pages.reconnects, 2);
    EXPECT_EQ(service.servicePid(), -1) << "no call reached the bus";
    EXPECT_TRUE(buttonsEnabled(*pages.overview));
}

TEST_F(OverviewTest, AFailedCallDropsTheEngineReportsAndAsksForReconnection) {
    PagesHarness pages;
    ASSERT_TRUE(pages.link().createEngine());
    pages.load();
    ASSERT_TRUE(service.setConfig("CleanedSpace", "t", "1048576"));
    pages.load();
    ASSERT_TRUE(service.killService());

    MessageBoxRecorder boxes;
    pages.overview->scanNowButton()->click();
    ASSERT_EQ(boxes.count(), 1);
    const QString scanText = boxes.boxes()[0].text;
    EXPECT_TRUE(scanText.startsWith("Scanning failed.")) << scanText.toStdString();
    EXPECT_TRUE(scanText.endsWith(".  Trying to reconnect...") ||
                scanText.endsWith("  Trying to reconnect..."))
        << scanText.toStdString();
    EXPECT_GT(scanText.size(), QString("Scanning failed.  Trying to reconnect...").size())
        << "the bus error's text is in between";
    EXPECT_EQ(pages.overview->engine(), nullptr);
    EXPECT_TRUE(buttonsEnabled(*pages.overview));
    EXPECT_EQ(pages.reconnects, 1);

    pages.overview->setEngine(&pages.link());
    pages.overview->resetCountButton()->click();
    ASSERT_EQ(boxes.count(), 2);
    EXPECT_TRUE(boxes.boxes()[1].text.startsWith("Failed to reset cleaned space."));
    EXPECT_TRUE(boxes.boxes()[1].text.endsWith("  Trying to reconnect..."));
    EXPECT_EQ(pages.overview->cleanedSpaceLabel()->text(), "1.00") << "the value stays";
    EXPECT_EQ(pages.overview->engine(), nullptr);
    EXPECT_EQ(pages.reconnects, 2);
}

// The service started by hand with a long pause before its scan, so that it is
// still busy when the pages load.
TEST(OverviewBusyTest, LoadingWhileTheServiceScansDisablesBothButtonsUntilItEnds) {
    ServiceEnvironment service(ServiceEnvironment::Options{false});
    service.applyToProcess();
    Env env;
    for (const auto& [name, value] : service.env())
        if (name != "MW_SCAN_PAUSE_MS")
            env.emplace_back(name, value);
    env.emplace_back("MW_SCAN_PAUSE_MS", "5000"); // the longest it takes
    Child mwservice({kMwService, "--bus=session"}, env);
    ASSERT_TRUE(spinUntil([&] { return service.servicePid() > 0; }, 30000));
    ASSERT_TRUE(service.callEngine({"scanNow"}));
    ASSERT_TRUE(spinUntil([&] { return service.getEngine("ActivityState") == "i 1"; }, 10000));

    PagesHarness pages;
    ASSERT_TRUE(pages.link().createEngine());
    pages.followEvents();
    pages.load();
    EXPECT_TRUE(buttonsDisabled(*pages.overview));
    EXPECT_FALSE(pages.settings->startTimeEdit()->isEnabled());

    ASSERT_TRUE(spinUntil([&] { return buttonsEnabled(*pages.overview); }, 30000));
    EXPECT_TRUE(pages.settings->startTimeEdit()->isEnabled());
    EXPECT_EQ(service.getEngine("ActivityState"), "i 0");
}

} // namespace
} // namespace MW::Test
