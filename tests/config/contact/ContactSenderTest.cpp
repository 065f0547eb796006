#include "ContactSender.h"

#include "ContactFixture.h"
#include "QtPrint.h"

#include <QSettings>
#include <gtest/gtest.h>

namespace MW {
namespace {

using Result = ContactSender::Result;

class ContactSenderTest : public MW::Test::ContactFixture {
protected:
    ContactSenderTest() {
        sender.setDayClock([this] { return day; });
    }

    ContactSender sender;
    int day = 45;
};

TEST_F(ContactSenderTest, BlankFieldsAreEmptyAndNothingIsSent) {
    EXPECT_EQ(sender.send(" \t ", "ab@example.org", "Question").result, Result::MissingField);
    EXPECT_EQ(sender.send("Ann", "", "Question").result, Result::MissingField);
    EXPECT_EQ(sender.send("Ann", "ab@example.org", "\n \r\n").result, Result::MissingField);
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_FALSE(storedDay().isValid());
}

// Only a 2xx answer is a delivery; any other status is the failure, with the
// status as its code, and leaves the day's message unused.
TEST_F(ContactSenderTest, AnAnswerOutside2xxIsNotSentAndRecordsNoDay) {
    for (const char* status : {"500", "302"}) {
        MW::Test::HttpsTestServer::Options options;
        options.answerAs = std::string("/status/") + status;
        MW::Test::HttpsTestServer refusing(options);
        useSupportServer(refusing);
        const ContactSender::Outcome outcome = sender.send("Ann", "ann@example.org", "Hi");
        EXPECT_EQ(outcome.result, Result::NotAccepted) << status;
        EXPECT_EQ(outcome.errorCode, std::stoi(status));
        EXPECT_FALSE(storedDay().isValid()) << status;
    }
    useSupportServer(server.port());
    EXPECT_EQ(sender.send("Ann", "ann@example.org", "Hi").result, Result::Sent);
    EXPECT_EQ(storedDay().toInt(), 45);
}

TEST_F(ContactSenderTest, TwoLetterValuesGiveExactlyTheTemplate) {
    ASSERT_EQ(sender.send("ab", "cd", "ef").result, Result::Sent);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/Api/ContuctUs");
    EXPECT_EQ(requests[0].body,
              "<Request><Name>ab</Name><Email>cd</Email><RequestText>ef</RequestText></Request>");
    EXPECT_EQ(requests[0].header("User-Agent"), "Morrowick");
    // Only what any request carries: no header of the tab's own.
    for (const auto& [name, value] : requests[0].headers) {
        const QString lower = QString::fromStdString(name).toLower();
        EXPECT_TRUE(lower == "host" || lower == "user-agent" || lower == "accept" ||
                    lower == "content-length" || lower == "content-type")
            << name << ": " << value;
    }
}

TEST_F(ContactSenderTest, ValuesAreTrimmedButNeitherEscapedNorReflowed) {
    ASSERT_EQ(sender
                  .send("  <Ann & Bob>  ", "\ta&b@example.org ",
                        "\n Line one < two & three\nZo\u00eb's line\n\n")
                  .result,
              Result::Sent);
    ASSERT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.requests()[0].body,
              "<Request><Name><Ann & Bob></Name><Email>a&b@example.org</Email>"
              "<RequestText>Line one < two & three\nZo\xc3\xab's line</RequestText></Request>");
    EXPECT_EQ(ContactSender::requestBody("a", "b", "c"),
              "<Request><Name>a</Name><Email>b</Email><RequestText>c</RequestText></Request>");
}

TEST_F(ContactSenderTest, OneMessagePerDayOfTheYear) {
    ASSERT_EQ(sender.send("Ann", "ann@example.org", "First").result, Result::Sent);
    EXPECT_EQ(storedDay().toInt(), 45);

    EXPECT_EQ(sender.send("Ann", "ann@example.org", "Second").result, Result::AlreadySentToday);
    EXPECT_EQ(server.requestCount(), 1u);

    day = 46;
    ASSERT_EQ(sender.send("Ann", "ann@example.org", "Third").result, Result::Sent);
    EXPECT_EQ(server.requestCount(), 2u);
    EXPECT_EQ(storedDay().toInt(), 46);
    // The day is what a new sender (a later run of the program) finds.
    ContactSender later;
    later.setDayClock([] { return 46; });
    EXPECT_TRUE(later.sentToday());
}

TEST_F(ContactSenderTest, OnlyAWholeDayNumberBlocks) {
    for (const QVariant& stored : {QVariant(QStringLiteral("45th")), QVariant(QStringLiteral("")),
                                   QVariant(45 + 366), QVariant(QStringLiteral("4 5"))}) {
        storeDay(stored);
        EXPECT_FALSE(sender.sentToday()) << stored.toString().toStdString();
    }
    storeDay(QStringLiteral("45th"));
    EXPECT_EQ(sender.send("Ann", "ann@example.org", "Hello").result, Result::Sent);
    EXPECT_EQ(storedDay().toInt(), 45);
}

TEST_F(ContactSenderTest, FailedSendKeepsTheDaySoTheUserCanRetry) {
    storeDay(44);
    useSupportServer(MW::Test::freeLoopbackPort());
    const ContactSender::Outcome failed = sender.send("Ann", "ann@example.org", "Hello");
    EXPECT_EQ(failed.result, Result::NetworkFailure);
    EXPECT_EQ(failed.errorCode, 7);
    EXPECT_EQ(storedDay().toInt(), 44);

    useSupportServer(server.port());
    EXPECT_EQ(sender.send("Ann", "ann@example.org", "Hello").result, Result::Sent);
    EXPECT_EQ(storedDay().toInt(), 45);
}

TEST_F(ContactSenderTest, ServerCertificateIsCheckedUnlessTrusted) {
    QSettings settings = userSettings();
    settings.remove(QStringLiteral("Support/CaFile"));
    settings.sync();
    const ContactSender::Outcome outcome = sender.send("Ann", "ann@example.org", "Hello");
    EXPECT_EQ(outcome.result, Result::NetworkFailure);
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_FALSE(storedDay().isValid());
}

TEST_F(ContactSenderTest, WithoutExplicitProxyTheSystemProxyIsUsed) {
    MW::Test::TinyProxy proxy;
    const std::string url = "http://" + proxy.host() + ":" + std::to_string(proxy.port());
    setEnv("https_proxy", url.c_str());

    // Switched off in the proxy dialog: empty server, port 0.
    sender.setProxy(QString(), 0);
    ASSERT_EQ(sender.send("Ann", "ann@example.org", "Hello").result, Result::Sent);
    EXPECT_TRUE(proxy.sawConnectTo(server.port())) << proxy.log();

    // A server without a port is no explicit proxy either.
    day = 46;
    sender.setProxy(QStringLiteral("192.0.2.1"), 0);
    ASSERT_EQ(sender.send("Ann", "ann@example.org", "Hello").result, Result::Sent);
    EXPECT_EQ(proxy.connects().size(), 2u) << proxy.log();
}

TEST_F(ContactSenderTest, SupportServerComesFromTheBuildUnlessOverridden) {
    userSettings().remove(QStringLiteral("Support"));
    const SupportServer built = supportServer();
    EXPECT_EQ(built.host, QStringLiteral(MW_EXPECTED_SUPPORT_HOST));
    EXPECT_EQ(built.port, MW_EXPECTED_SUPPORT_PORT);
    EXPECT_TRUE(built.caFile.isEmpty());

    QSettings settings = userSettings();
    settings.setValue(QStringLiteral("Support/Host"), QStringLiteral("support.example.org"));
    settings.setValue(QStringLiteral("Support/Port"), QStringLiteral("not a port"));
    settings.setValue(QStringLiteral("Support/CaFile"), QStringLiteral("/etc/ca.pem"));
    settings.sync();
    const SupportServer overridden = supportServer();
    EXPECT_EQ(overridden.host, "support.example.org");
    EXPECT_EQ(overridden.port, MW_EXPECTED_SUPPORT_PORT);
    EXPECT_EQ(overridden.caFile, "/etc/ca.pem");
}

} // namespace
} // namespace MW
