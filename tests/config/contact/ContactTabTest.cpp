#include "CContactUsDlg.h"
#include "ContactFixture.h"
#include "MessageBoxes.h"
#include "QtPrint.h"
#include "Screenshots.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
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
        EXPECT_TRUE(box->answered);
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
