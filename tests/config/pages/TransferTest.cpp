// Loading and saving every setting between the pages and the real service.

#include "LocalClock.h"
#include "QtValues.h"
#include "MessageBoxes.h"
#include "PageTestSupport.h"
#include "PagesHarness.h"
#include "ServiceEnvironment.h"
#include "Spin.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTimer>
#include <gtest/gtest.h>

namespace MW::Test {
namespace {

QTime timeOf(const DueTime& due) {
    return QTime(due.hour, due.minute);
}

QDateTime localDateTime(const DueTime& due) {
    return QDateTime(QDate(due.date.year, due.date.month, due.date.day), timeOf(due));
}

class TransferTest : public ServiceTest {
protected:
    void SetUp() override {
        setSystemProxy(QString());
        ASSERT_TRUE(pages.link().createEngine());
    }

    std::string config(const std::string& name) const { return service.getConfig(name); }

    PagesHarness pages;
};

TEST_F(TransferTest, SaveWritesEveryValueOfThePages) {
    ScratchDir scratch;
    pages.load();
    CSettingsDlg& s = *pages.settings;
    s.SetFolder(scratch.path());
    s.ApplyFileTypes(".bak,.rfa");
    s.fileTypeBox(9)->click();
    s.SetOtherFileTypes(QStringLiteral(" .tmp, .old "));
    s.ageButton(3)->click();
    // Two times of day hours away from now: the schedule's date for each is fixed.
    const DueTime shown = dueTimeAhead(3);
    const DueTime picked = dueTimeAhead(5);
    s.setStartTime(shown.oleDate);
    s.startTimeEdit()->setTime(timeOf(picked));
    CProxyDlg& proxy = s.proxyDlg();
    proxy.m_bUseProxy = true;
    proxy.m_strServer = QStringLiteral("proxy.example.org");
    proxy.m_strPort = QStringLiteral("3128");
    proxy.m_bUseSystemProxy = false;
    proxy.m_strSysServer = QStringLiteral("sys.example.org:8080");
    proxy.m_strSysBypass = QStringLiteral("localhost");
    proxy.m_dwSysAccessType = 3;
    pages.contact->SetName(QStringLiteral("Zoë Draughts"));
    pages.contact->SetEmail(QStringLiteral("zoe@example.org"));

    pages.save();
    EXPECT_EQ(config("ScanFolder"), "s \"" + scratch.path().toStdString() + "\"");
    EXPECT_EQ(config("FileTypes"), "s \".bak,.rfa,.fzb\"");
    EXPECT_EQ(config("OtherFileTypes"), "s \" .tmp, .old \"") << "as typed";
    EXPECT_EQ(config("DeleteAge"), "i 3");
    // The page sends its date with the picked time; the service gives that time
    // of day its next due date.
    EXPECT_EQ(Link::fromOleDate(pages.link().Config()->StartTime()), localDateTime(picked));
    // The page writes -1 for true; the service keeps a boolean and reads back 1.
    EXPECT_EQ(config("ProxyUsage"), "i 1");
    EXPECT_EQ(config("ProxyServer"), "s \"proxy.example.org\"");
    EXPECT_EQ(config("ProxyPort"), "s \"3128\"");
    EXPECT_EQ(config("ProxySysUsage"), "i 0");
    EXPECT_EQ(config("ProxySysServer"), "s \"sys.example.org:8080\"");
    EXPECT_EQ(config("ProxySysBypass"), "s \"localhost\"");
    EXPECT_EQ(config("ProxySysAccessType"), "u 3");
    EXPECT_EQ(pages.link().Config()->ContactName(), QStringLiteral("Zoë Draughts"));
    EXPECT_EQ(config("ContactEmail"), "s \"zoe@example.org\"");
    // The Contact tab's request goes through the explicit proxy.
    EXPECT_EQ(pages.contact->proxyServer(), "proxy.example.org");
    EXPECT_EQ(pages.contact->proxyPort(), 3128);

    proxy.m_bUseProxy = false;
    pages.save();
    EXPECT_EQ(config("ProxyUsage"), "i 0");
    EXPECT_EQ(pages.contact->proxyServer(), "");
    EXPECT_EQ(pages.contact->proxyPort(), 0);
}

// Values the pages cannot show as they are (an age outside the six, a types text
// the boxes spell otherwise) are written only once the user changes them.
TEST_F(TransferTest, LoadFillsThePagesAndASaveWritesOnlyWhatTheUserChanged) {
    ASSERT_TRUE(service.setConfig("ScanFolder", "s", "/srv/drawings"));
    ASSERT_TRUE(service.setConfig("FileTypes", "s", ".dwl2"));
    ASSERT_TRUE(service.setConfig("OtherFileTypes", "s", ".tmp"));
    ASSERT_TRUE(service.setConfig("DeleteAge", "i", "42"));
    const DueTime due = dueTimeAhead(3);
    pages.link().Config()->setStartTime(due.oleDate);
    ASSERT_TRUE(service.setConfig("LastScan", "s", "07/04/99"));
    ASSERT_TRUE(service.setConfig("CleanedSpace", "t", "5242879"));
    ASSERT_TRUE(service.setConfig("ProxyServer", "s", "proxy.example.org"));
    ASSERT_TRUE(service.setConfig("ProxyPort", "s", " 8080x"));
    ASSERT_TRUE(service.setConfig("ProxyUsage", "i", "1"));
    ASSERT_TRUE(service.setConfig("ContactName", "s", "Ann"));
    ASSERT_TRUE(service.setConfig("ContactEmail", "s", "ann@example.org"));
    ASSERT_TRUE(service.setConfig("ProxySysUsage", "i", "0"));

    pages.load();
    CSettingsDlg& s = *pages.settings;
    EXPECT_EQ(s.folderEdit()->text(), "/srv/drawings");
    EXPECT_TRUE(s.fileTypeBox(1)->isChecked());
    EXPECT_TRUE(s.fileTypeBox(2)->isChecked());
    EXPECT_FALSE(s.fileTypeBox(0)->isChecked());
    EXPECT_EQ(s.otherTypesEdit()->text(), ".tmp");
    for (int i = 0; i <= 5; ++i)
        EXPECT_FALSE(s.ageButton(i)->isChecked()) << i;
    EXPECT_EQ(s.startTimeEdit()->time(), timeOf(due));
    EXPECT_TRUE(s.startTimeEdit()->isEnabled());
    EXPECT_TRUE(s.proxyDlg().m_bUseProxy);
    EXPECT_EQ(s.proxyDlg().m_strPort, " 8080x");
    EXPECT_FALSE(s.proxyDlg().m_bUseSystemProxy);
    EXPECT_EQ(pages.contact->proxyPort(), 8080);
    EXPECT_EQ(pages.contact->nameEdit()->text(), "Ann");
    EXPECT_EQ(pages.contact->emailEdit()->text(), "ann@example.org");
    EXPECT_EQ(pages.overview->lastScanLabel()->text(), "07/04/99");
    EXPECT_EQ(pages.overview->cleanedSpaceLabel()->text(), "5.00");
    EXPECT_TRUE(pages.overview->scanNowButton()->isEnabled());

    pages.save();
    EXPECT_EQ(config("DeleteAge"), "i 42");
    EXPECT_EQ(config("FileTypes"), "s \".dwl2\"");
    EXPECT_EQ(config("ProxyPort"), "s \" 8080x\"");
    EXPECT_DOUBLE_EQ(pages.link().Config()->StartTime(), due.oleDate);

    s.fileTypeBox(0)->click();
    s.ageButton(2)->click();
    pages.save();
    EXPECT_EQ(config("DeleteAge"), "i 2");
    EXPECT_EQ(config("FileTypes"), "s \".bak,.dwl,.dwl2\"");
    EXPECT_DOUBLE_EQ(pages.link().Config()->StartTime(), due.oleDate) << "the picker kept the date";
    EXPECT_EQ(config("ProxyUsage"), "i 1");
    EXPECT_EQ(config("ScanFolder"), "s \"/srv/drawings\"");
}

TEST_F(TransferTest, ChangingTheTimeSendsEverySettingAtOnceSettingItBackSendsNothing) {
    ScratchDir scratch;
    const DueTime start = dueTimeAhead(3);
    const DueTime later = dueAt((start.hour + 1) % 24, start.minute);
    pages.link().Config()->setStartTime(start.oleDate);
    pages.load();
    CSettingsDlg& s = *pages.settings;
    pages.tabs.setCurrentWidget(&s);
    // Values that the service learns only with the next save.
    s.fileTypeBox(0)->click();
    s.ageButton(5)->click();
    s.folderEdit()->setText(scratch.path());
    moveFocus(s.folderEdit(), s.otherTypesEdit());
    EXPECT_EQ(pages.saves, 0);
    EXPECT_NE(config("DeleteAge"), "i 5");

    // Changed and set back before the focus leaves: nothing is sent.
    s.startTimeEdit()->setTime(timeOf(later));
    s.startTimeEdit()->setTime(timeOf(start));
    moveFocus(s.startTimeEdit(), s.proxyButton());
    EXPECT_EQ(pages.saves, 0);

    s.startTimeEdit()->setTime(timeOf(later));
    moveFocus(s.startTimeEdit(), s.proxyButton());
    EXPECT_EQ(pages.saves, 1);
    EXPECT_EQ(Link::fromOleDate(pages.link().Config()->StartTime()), localDateTime(later));
    EXPECT_EQ(config("DeleteAge"), "i 5");
    EXPECT_EQ(config("FileTypes"), "s \".bak\"");
    EXPECT_EQ(config("ScanFolder"), "s \"" + scratch.path().toStdString() + "\"");
}

TEST_F(TransferTest, AFolderSavedBeforeTheEditLosesTheFocusIsSentUnchecked) {
    pages.load();
    CSettingsDlg& s = *pages.settings;
    pages.tabs.setCurrentWidget(&s);
    showActive(&pages.tabs);
    s.folderEdit()->setFocus();
    s.folderEdit()->setText(QStringLiteral("/no/such/folder"));
    MessageBoxRecorder boxes;
    pages.save(); // as minimising the window does
    EXPECT_EQ(config("ScanFolder"), "s \"/no/such/folder\"");
    // The save took the text as the folder, so leaving the edit later finds no change.
    moveFocus(s.folderEdit(), s.otherTypesEdit());
    EXPECT_EQ(boxes.count(), 0);
}

TEST_F(TransferTest, WithTheSystemProxyOnLoadReadsItFreshAndWritesItBack) {
    ASSERT_TRUE(service.setConfig("ProxySysUsage", "i", "1"));
    ASSERT_TRUE(service.setConfig("ProxySysServer", "s", "stale:1"));
    ASSERT_TRUE(service.setConfig("ContactName", "s", "Ann"));
    setSystemProxy(QStringLiteral("http://sys.example.org:3128"), QStringLiteral("localhost"));
    pages.load();
    const CProxyDlg& proxy = pages.settings->proxyDlg();
    EXPECT_TRUE(proxy.m_bUseSystemProxy);
    EXPECT_EQ(proxy.m_strSysServer, "http://sys.example.org:3128");
    EXPECT_EQ(config("ProxySysServer"), "s \"http://sys.example.org:3128\"");
    EXPECT_EQ(config("ProxySysBypass"), "s \"localhost\"");
    EXPECT_EQ(config("ProxySysAccessType"), "u 3");

    // A reading that fails is reported, the service keeps its values, the rest loads.
    ASSERT_TRUE(service.setConfig("ProxySysServer", "s", "stale:2"));
    ASSERT_TRUE(service.setConfig("ContactName", "s", "Bob"));
    setSystemProxy(QString(), QString(), true);
    MessageBoxRecorder boxes;
    pages.load();
    ASSERT_EQ(boxes.count(), 1);
    EXPECT_EQ(boxes.boxes()[0].caption, "Error!");
    EXPECT_EQ(boxes.boxes()[0].text, "Can't get IE proxy configuration from Registry.");
    EXPECT_EQ(config("ProxySysServer"), "s \"stale:2\"");
    EXPECT_EQ(pages.contact->nameEdit()->text(), "Bob");
    EXPECT_TRUE(proxy.m_bUseSystemProxy);
    EXPECT_TRUE(pages.overview->scanNowButton()->isEnabled());
}

// Runs `inside` once the proxy dialog is shown by the Settings page's button.
void whileProxyDialogOpen(CSettingsDlg& page, const std::function<void(CProxyDlg&)>& inside) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(spinUntil([&] { return page.proxyDlg().isVisible(); }, 10000));
        inside(page.proxyDlg());
        ran = true;
    });
    page.proxyButton()->click();
    EXPECT_TRUE(ran);
}

TEST_F(TransferTest, TheProxyDialogAsksForASaveOnlyAfterOk) {
    ASSERT_TRUE(service.setConfig("ProxyUsage", "i", "0"));
    ASSERT_TRUE(service.setConfig("ProxySysUsage", "i", "0"));
    pages.load();
    CSettingsDlg& s = *pages.settings;
    whileProxyDialogOpen(s, [](CProxyDlg& dlg) {
        dlg.useProxyBox()->click();
        dlg.serverEdit()->setText(QStringLiteral("proxy.example.org"));
        dlg.portEdit()->setText(QStringLiteral("3128"));
        dlg.cancelButton()->click();
    });
    EXPECT_EQ(pages.saves, 0);
    EXPECT_EQ(config("ProxyUsage"), "i 0");

    whileProxyDialogOpen(s, [](CProxyDlg& dlg) {
        dlg.useProxyBox()->click();
        dlg.serverEdit()->setText(QStringLiteral(" proxy.example.org "));
        dlg.portEdit()->setText(QStringLiteral("3128"));
        dlg.okButton()->click();
    });
    EXPECT_EQ(pages.saves, 1);
    EXPECT_EQ(config("ProxyUsage"), "i 1");
    EXPECT_EQ(config("ProxyServer"), "s \"proxy.example.org\"");
    EXPECT_EQ(config("ProxyPort"), "s \"3128\"");
}

} // namespace
} // namespace MW::Test
