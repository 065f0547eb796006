// The proxy dialog: which controls are enabled, what OK and Cancel keep.

#include "CProxyDlg.h"
#include "MessageBoxes.h"
#include "PageTestSupport.h"
#include "Screenshots.h"
#include "Spin.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <gtest/gtest.h>

namespace MW::Test {
namespace {

class ProxyDlgTest : public ::testing::Test {
protected:
    // Opens the dialog without blocking, as exec() would show it.
    void open() {
        dlg.open();
        ASSERT_TRUE(spinUntil([&] { return dlg.isVisible(); }, 5000));
    }
    struct Enabled {
        bool system, server, port;
        bool operator==(const Enabled&) const = default;
    };
    Enabled enabled() const {
        return {dlg.useSystemBox()->isEnabled(), dlg.serverEdit()->isEnabled(),
                dlg.portEdit()->isEnabled()};
    }

    CProxyDlg dlg;
};

TEST_F(ProxyDlgTest, EnablingFollowsBothFlags) {
    open();
    EXPECT_EQ(dlg.windowTitle(), "Morrowick proxy settings");
    EXPECT_EQ(enabled(), (Enabled{false, false, false})) << "both flags off";
    dlg.useProxyBox()->click();
    EXPECT_EQ(enabled(), (Enabled{true, true, true}));
    dlg.useSystemBox()->click();
    EXPECT_EQ(enabled(), (Enabled{true, false, false}));
    dlg.useProxyBox()->click();
    EXPECT_EQ(enabled(), (Enabled{false, false, false}));
    EXPECT_TRUE(dlg.useSystemBox()->isChecked()) << "disabled controls keep their state";
    dlg.reject();

    // Opening with the system flag on and the proxy flag off, then checking the proxy box.
    dlg.m_bUseProxy = false;
    dlg.m_bUseSystemProxy = true;
    open();
    EXPECT_EQ(enabled(), (Enabled{false, false, false}));
    dlg.useProxyBox()->click();
    EXPECT_EQ(enabled(), (Enabled{true, false, false}));
    dlg.reject();
}

TEST_F(ProxyDlgTest, OkTrimsTheStoredTextsAndWarnsAboutEmptyFields) {
    dlg.m_bUseProxy = true;
    open();
    dlg.serverEdit()->setText(QStringLiteral("  proxy.example.org \t"));
    dlg.portEdit()->setText(QString());

    QString text, caption;
    auto box = answerNextMessageBox(QMessageBox::Ok, &text, &caption);
    dlg.okButton()->click();
    ASSERT_TRUE(box->answered);
    EXPECT_EQ(text, "Please provide information in all fields.");
    EXPECT_EQ(caption, "Warning!");
    EXPECT_EQ(box->icon, QMessageBox::Warning);
    EXPECT_TRUE(dlg.isVisible()) << "the dialog stays open";

    dlg.portEdit()->setText(QStringLiteral("3128"));
    dlg.okButton()->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.m_strServer, "proxy.example.org");
    EXPECT_EQ(dlg.m_strPort, "3128");
    EXPECT_EQ(dlg.serverEdit()->text(), "  proxy.example.org \t") << "the edit keeps the typing";

    // A server of blanks only counts as empty.
    open();
    dlg.serverEdit()->setText(QStringLiteral("   "));
    MessageBoxRecorder boxes;
    dlg.okButton()->click();
    EXPECT_EQ(boxes.count(), 1);
    EXPECT_TRUE(dlg.isVisible());
    dlg.reject();

    // The port edit takes digits only.
    QString port = QStringLiteral("80a");
    int pos = 0;
    EXPECT_EQ(dlg.portEdit()->validator()->validate(port, pos), QValidator::Invalid);
}

TEST_F(ProxyDlgTest, WithBothFlagsOffOkClosesWhateverTheFieldsHold) {
    open();
    dlg.okButton()->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(ProxyDlgTest, CancelRestoresBothFlagsButKeepsTextReadOnAClick) {
    open();
    dlg.serverEdit()->setText(QStringLiteral("typed.before"));
    dlg.portEdit()->setText(QStringLiteral("8080"));
    dlg.useProxyBox()->click(); // reads the edits
    dlg.useSystemBox()->click();
    dlg.serverEdit()->setText(QStringLiteral("typed.after"));
    dlg.cancelButton()->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_FALSE(dlg.m_bUseProxy);
    EXPECT_FALSE(dlg.m_bUseSystemProxy);
    EXPECT_EQ(dlg.m_strServer, "typed.before");
    EXPECT_EQ(dlg.m_strPort, "8080");

    // The title bar's close is a Cancel too.
    dlg.m_bUseProxy = true;
    open();
    dlg.useProxyBox()->click();
    dlg.close();
    EXPECT_TRUE(dlg.m_bUseProxy);
}

TEST_F(ProxyDlgTest, SystemSettingsAreNotReadAgainWhenTheFlagWasOnAtOpening) {
    dlg.m_bUseProxy = true;
    dlg.m_bUseSystemProxy = true;
    dlg.m_strSysServer = QStringLiteral("read.at.connection:1");
    dlg.m_dwSysAccessType = 3;
    open();
    MessageBoxRecorder boxes;
    dlg.okButton()->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(boxes.count(), 0);
    EXPECT_EQ(dlg.m_strSysServer, "read.at.connection:1");
}

TEST_F(ProxyDlgTest, SwitchingTheSystemSettingsOnReadsThemAtOkAndAFailureKeepsTheDialogOpen) {
    dlg.m_bUseProxy = true;
    setSystemProxy(QString(), QString(), true);
    open();
    dlg.useSystemBox()->click();
    QString text, caption;
    auto box = answerNextMessageBox(QMessageBox::Ok, &text, &caption);
    dlg.okButton()->click();
    ASSERT_TRUE(box->answered);
    EXPECT_EQ(caption, "Error!");
    EXPECT_EQ(text, "Can't get IE proxy configuration from Registry.");
    EXPECT_TRUE(dlg.isVisible());

    setSystemProxy(QStringLiteral("http://sys.example.org:3128"), QStringLiteral(".example.org"));
    dlg.okButton()->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(dlg.m_bUseSystemProxy);
    EXPECT_EQ(dlg.m_dwSysAccessType, 3u);
    EXPECT_EQ(dlg.m_strSysServer, "http://sys.example.org:3128");
    EXPECT_EQ(dlg.m_strSysBypass, ".example.org");
    setSystemProxy(QString());
}

TEST_F(ProxyDlgTest, ScreenshotOfTheProxyDialog) {
    dlg.m_bUseProxy = true;
    dlg.m_strServer = QStringLiteral("proxy.example.org");
    dlg.m_strPort = QStringLiteral("3128");
    open();
    EXPECT_FALSE(saveScreenshot(&dlg, QStringLiteral("pages_proxy_dialog")).isEmpty());
    for (QWidget* child : dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_TRUE(dlg.rect().contains(child->geometry())) << child->metaObject()->className();
    dlg.reject();
}

} // namespace
} // namespace MW::Test
