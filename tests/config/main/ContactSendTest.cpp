// A support message under way in the main window: the request runs off the GUI
// thread, so the window follows the service meanwhile, and the end of the
// program (SIGTERM) still saves and gives its status.

#include "CContactUsDlg.h"
#include "COverviewDlg.h"
#include "MainFixture.h"
#include "NetTestServers.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>

namespace MW::Test {
namespace {

class ContactSendInWindow : public MainFixture {
protected:
    ContactSendInWindow() {
        // The configurator's own settings file, where the support server is named.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(service.configHome()));
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QStringLiteral("Morrowick"));
        settings.setValue(QStringLiteral("Support/Host"), QStringLiteral("127.0.0.1"));
        settings.setValue(QStringLiteral("Support/Port"), silent.port());
        settings.setValue(QStringLiteral("Support/CaFile"),
                          QString::fromStdString(silent.caFile()));
        settings.remove(QStringLiteral("sent"));
    }

    static HttpsTestServer::Options silentOptions() {
        HttpsTestServer::Options options;
        options.answerAs = "/silent";
        return options;
    }

    HttpsTestServer silent{silentOptions()};
};

TEST_F(ContactSendInWindow, BusEventsAndSigtermAreHandledWhileASendWaits) {
    ASSERT_TRUE(service.activate());
    auto dialog = start();
    ASSERT_FALSE(dialog->exitStatus());
    CContactUsDlg& contact = dialog->contact();
    Cxx::Network::Http::HttpClient::CTransferLimits limits;
    limits.stall = std::chrono::seconds(3);
    limits.total = std::chrono::seconds(6);
    contact.contactSender().setLimits(limits);
    contact.nameEdit()->setText(QStringLiteral("Ann while sending"));
    contact.emailEdit()->setText(QStringLiteral("ann@example.org"));
    contact.textEdit()->setPlainText(QStringLiteral("Hello"));

    contact.OnSend();
    ASSERT_TRUE(contact.isSending());
    ASSERT_TRUE(silent.waitForRequests(1));
    EXPECT_FALSE(contact.sendButton()->isEnabled());

    // The service's change reaches the Overview while the request waits.
    const QString before = dialog->overview().cleanedSpaceLabel()->text();
    ASSERT_TRUE(service.setConfig("CleanedSpace", "t", "5368709120"));
    EXPECT_TRUE(spinUntil(
        [&] { return dialog->overview().cleanedSpaceLabel()->text() != before; }, 10000));
    EXPECT_TRUE(contact.isSending()) << "the silent server has not been given up yet";

    // SIGTERM now: the settings are saved and the status is the usual one.
    dialog->OnCloseRequest();
    EXPECT_EQ(dialog->exitStatus(), 253);
    EXPECT_EQ(quoted(service.getConfig("ContactName")), QStringLiteral("Ann while sending"));
    EXPECT_GE(ContactSender::requestsInFlight(), 1);

    // The window goes while the request is still out; its late answer finds no
    // window and is dropped, and no day is recorded.
    dialog.reset();
    EXPECT_TRUE(spinUntil([] { return ContactSender::requestsInFlight() == 0; }, 30000));
    spinFor(100);
    EXPECT_EQ(boxes.count(), 0) << boxes.texts().join(QLatin1Char('|')).toStdString();
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Morrowick"));
    EXPECT_FALSE(settings.value(QStringLiteral("sent")).isValid());
}

} // namespace
} // namespace MW::Test
