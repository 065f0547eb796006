#include "CContactUsDlg.h"
#include "ContactFixture.h"
#include "MessageBoxes.h"
#include "QtPrint.h"
#include "Spin.h"
#include "Screenshots.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace MW {
namespace {

class ContactTabTest : public MW::Test::ContactFixture {
protected:
    ContactTabTest() {
        // The clock is asked while the request is under way: the moment to see
        // whether "Send" is disabled.
        page.contactSender().setDayClock([this] {
            sendDisabledWhileSending = !page.sendButton()->isEnabled();
            return day;
        });
        page.resize(page.minimumSize());
    }

    void fill(const QString& name, const QString& email, const QString& text) {
        page.SetName(name);
        page.SetEmail(email);
        page.textEdit()->setPlainText(text);
    }

    // Clicks "Send" and answers the message box it brings up.
    MW::Test::AnsweredBox sendAndAnswer() {
        auto box = MW::Test::answerNextMessageBox();
        QTest::mouseClick(page.sendButton(), Qt::LeftButton);
        // The request runs off the GUI thread: its answer comes through the loop.
        EXPECT_TRUE(MW::Test::spinUntil([&] { return box->answered; }, 60000));
        EXPECT_TRUE(page.sendButton()->isEnabled());
        return *box;
    }

    CContactUsDlg page;
    int day = 45;
    bool sendDisabledWhileSending = false;
};

TEST_F(ContactTabTest, BlankNameWarns) {
    fill("   ", "ann@example.org", "Hello");
    const MW::Test::AnsweredBox box = sendAndAnswer();
    EXPECT_EQ(box.text, "Please provide information in all fields.");
    EXPECT_EQ(box.caption, "Warning!");
    EXPECT_EQ(box.icon, QMessageBox::Warning);
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_EQ(page.nameEdit()->text(), "   ");
}

TEST_F(ContactTabTest, SuccessfulSendClearsTheTextAndThanks) {
    fill("  Ann ", "ann@example.org", "Where is the log?\n");
    page.show();
    MW::Test::saveScreenshot(&page, QStringLiteral("contact_tab"));
    const MW::Test::AnsweredBox box = sendAndAnswer();
    const QString thanks =
        QStringLiteral("Your questions and comments have been sent successfully. Thank you!");
    EXPECT_EQ(box.text, thanks);
    EXPECT_EQ(box.caption, thanks);
    EXPECT_EQ(box.icon, QMessageBox::Information);
    EXPECT_TRUE(sendDisabledWhileSending);

    ASSERT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.requests()[0].body, "<Request><Name>Ann</Name><Email>ann@example.org</Email>"
                                         "<RequestText>Where is the log?</RequestText></Request>");
    EXPECT_TRUE(page.textEdit()->toPlainText().isEmpty());
    EXPECT_EQ(page.GetName(), "  Ann ");
    EXPECT_EQ(page.GetEmail(), "ann@example.org");
    EXPECT_EQ(storedDay().toInt(), 45);
}

TEST_F(ContactTabTest, SecondMessageTheSameDayIsRefused) {
    storeDay(45);
    fill("Ann", "ann@example.org", "Hello");
    const MW::Test::AnsweredBox box = sendAndAnswer();
    EXPECT_EQ(box.text, "Sorry, but you can only submit one message per day.\nPlease call the "
                        "number on our website if this is urgent. Thank you.");
    EXPECT_EQ(box.caption, "Information!");
    EXPECT_EQ(box.icon, QMessageBox::Information);
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_EQ(page.textEdit()->toPlainText(), "Hello");
}

TEST_F(ContactTabTest, NetworkFailureShowsTheErrorCodeAndKeepsTheText) {
    useSupportServer(MW::Test::freeLoopbackPort());
    fill("Ann", "ann@example.org", "Hello");
    const MW::Test::AnsweredBox box = sendAndAnswer();
    EXPECT_EQ(box.text,
              QString::fromUtf8("Your questions and comments can\xe2\x80\x99t be send at the "
                                "moment.\nPlease, check your internet connection and "
                                "try again later. Error code: 7"));
    EXPECT_EQ(box.caption, "Error!");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(page.textEdit()->toPlainText(), "Hello");
    EXPECT_FALSE(storedDay().isValid());
}

TEST_F(ContactTabTest, ProxyPairGoesToTheRequest) {
    MW::Test::TinyProxy proxy;
    page.SetProxy(QString::fromStdString(proxy.host()), proxy.port());
    EXPECT_EQ(page.proxyPort(), proxy.port());
    fill("Ann", "ann@example.org", "Hello");
    EXPECT_EQ(sendAndAnswer().caption, CContactUsDlg::kSent);
    EXPECT_TRUE(proxy.sawConnectTo(server.port())) << proxy.log();
}

// A support server that answers outside 2xx did not take the message: the
// failure box with the status as its code, the text kept, the day not used up.
TEST_F(ContactTabTest, AnErrorStatusIsAFailureWithTheStatusAsItsCode) {
    MW::Test::HttpsTestServer::Options options;
    options.answerAs = "/status/404";
    MW::Test::HttpsTestServer refusing(options);
    useSupportServer(refusing);
    fill("Ann", "ann@example.org", "Hello");
    const MW::Test::AnsweredBox box = sendAndAnswer();
    EXPECT_EQ(box.caption, "Error!");
    EXPECT_TRUE(box.text.startsWith(CContactUsDlg::kCannotSend)) << box.text;
    EXPECT_TRUE(box.text.endsWith(" Error code: 404")) << box.text;
    EXPECT_EQ(refusing.requestCount(), 1u);
    EXPECT_EQ(page.textEdit()->toPlainText(), "Hello");
    EXPECT_FALSE(storedDay().isValid());
}

class ContactTabHangingServerTest : public ContactTabTest,
                                    public ::testing::WithParamInterface<const char*> {};

// A server that takes the connection and then stays silent, or sends its
// headers a byte at a time: the window stays live while the request waits,
// "Send" stays disabled (a second click sends nothing), and the HTTP client's
// bounds (shortened here) end the request with the failure box.
TEST_P(ContactTabHangingServerTest, TheWindowStaysLiveAndTheBoundsEndTheRequest) {
    MW::Test::HttpsTestServer::Options options;
    options.answerAs = GetParam();
    MW::Test::HttpsTestServer hanging(options);
    useSupportServer(hanging);
    Cxx::Network::Http::HttpClient::CTransferLimits limits;
    limits.stall = std::chrono::seconds(2);
    limits.total = std::chrono::seconds(4);
    page.contactSender().setLimits(limits);
    fill("Ann", "ann@example.org", "Hello");

    auto box = MW::Test::answerNextMessageBox();
    QTest::mouseClick(page.sendButton(), Qt::LeftButton);
    EXPECT_TRUE(page.isSending());
    EXPECT_FALSE(page.sendButton()->isEnabled());
    ASSERT_TRUE(hanging.waitForRequests(1));

    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(50);
    MW::Test::spinFor(500);
    EXPECT_GE(ticks, 3) << "the event loop ran while the request waited";
    page.OnSend();
    EXPECT_FALSE(page.sendButton()->isEnabled());

    ASSERT_TRUE(MW::Test::spinUntil([&] { return box->answered; }, 60000));
    EXPECT_EQ(box->caption, "Error!");
    EXPECT_TRUE(box->text.startsWith(CContactUsDlg::kCannotSend + " Error code: ")) << box->text;
    EXPECT_TRUE(page.sendButton()->isEnabled());
    EXPECT_FALSE(page.isSending());
    EXPECT_EQ(hanging.requestCount(), 1u) << "the second click sent nothing";
    EXPECT_EQ(page.textEdit()->toPlainText(), "Hello");
    EXPECT_FALSE(storedDay().isValid());
}

INSTANTIATE_TEST_SUITE_P(SilentOrTrickling, ContactTabHangingServerTest,
                         ::testing::Values("/silent", "/tricklehead/400"));

TEST_F(ContactTabTest, TextHoldsAtMost400Characters) {
    page.textEdit()->setPlainText(QString(390, 'a'));
    QTextCursor cursor = page.textEdit()->textCursor();
    cursor.setPosition(10);
    page.textEdit()->setTextCursor(cursor);
    page.textEdit()->insertPlainText(QString(20, 'b'));
    const QString text = page.textEdit()->toPlainText();
    EXPECT_EQ(text, QString(10, 'a') + QString(10, 'b') + QString(380, 'a'));
}

TEST_F(ContactTabTest, CallLabelShowsTheWholeNumber) {
    const QLabel* call = page.callLabel();
    EXPECT_EQ(call->text(), QStringLiteral("Call: ") + supportPhone());
    EXPECT_GE(call->width(), call->sizeHint().width());
}

} // namespace
} // namespace MW
