#include "ContactSender.h"

#include "CException.h"
#include "CHttpsClient.h"
#include "Parameters.h"

#include <QDate>
#include <QSettings>
#include <memory>

#ifndef MW_SUPPORT_HOST
#error "MW_SUPPORT_HOST is set by contact.cmake"
#endif

namespace MW {

namespace {
using Cxx::Network::Exception::CNetworkException;
using Cxx::Network::Http::HttpClient::CSimplePostParametersSet;
using Cxx::Network::Http::HttpClient::CSimpleTextParameter;

const char16_t* const kUserAgent = u"Morrowick";
const char16_t* const kMethod = u"POST";
const char16_t* const kPath = u"/Api/ContuctUs";
const QString kSentKey = QStringLiteral("sent");

// The per-user settings of the configurator: the day of the last message and the
// administrators' support-server overrides.
std::unique_ptr<QSettings> userSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Morrowick"));
}

int today() {
    return QDate::currentDate().dayOfYear();
}

QString bodyText(const QString& name, const QString& email, const QString& text) {
    return QStringLiteral("<Request><Name>") + name + QStringLiteral("</Name><Email>") + email +
           QStringLiteral("</Email><RequestText>") + text +
           QStringLiteral("</RequestText></Request>");
}
} // namespace

SupportServer supportServer() {
    SupportServer server;
    server.host = QStringLiteral(MW_SUPPORT_HOST);
    server.port = MW_SUPPORT_PORT;

    const auto settings = userSettings();
    settings->beginGroup(QStringLiteral("Support"));
    const QString host = settings->value(QStringLiteral("Host")).toString().trimmed();
    if (!host.isEmpty())
        server.host = host;
    bool ok = false;
    const uint port = settings->value(QStringLiteral("Port")).toString().trimmed().toUInt(&ok);
    if (ok && port > 0 && port <= 65535)
        server.port = static_cast<quint16>(port);
    server.caFile = settings->value(QStringLiteral("CaFile")).toString().trimmed();
    return server;
}

QString supportPhone() {
    return QStringLiteral(MW_SUPPORT_PHONE);
}

ContactSender::ContactSender() : m_dayOfYear(today) {}

void ContactSender::setProxy(const QString& server, int port) {
    m_strProxyServer = server;
    m_nProxyPort = port;
}

void ContactSender::setDayClock(std::function<int()> dayOfYear) {
    m_dayOfYear = dayOfYear ? std::move(dayOfYear) : std::function<int()>(today);
}

QByteArray ContactSender::requestBody(const QString& name, const QString& email,
                                      const QString& text) {
    return bodyText(name, email, text).toUtf8();
}

// Only a whole number naming today blocks; anything else stored under the key
// (another day, text, nothing) lets the message go.
bool ContactSender::sentToday() const {
    const QVariant stored = userSettings()->value(kSentKey);
    if (!stored.isValid())
        return false;
    bool ok = false;
    const int day = stored.toString().toInt(&ok);
    return ok && day >= 1 && day <= 366 && day == m_dayOfYear();
}

void ContactSender::recordSent() const {
    const auto settings = userSettings();
    settings->setValue(kSentKey, m_dayOfYear());
    settings->sync();
}

void ContactSender::post(const QString& name, const QString& email, const QString& text) const {
    const SupportServer server = supportServer();
    MW::Common::CTlsOptions tls;
    tls.caFile = server.caFile.toStdString();
    MW::Common::CHttpsClient client(kUserAgent, server.host.toStdU16String(), kMethod,
                                    m_strProxyServer.toStdU16String(), m_nProxyPort, server.port,
                                    false, tls);

    // One text parameter: it does the conversion to UTF-8, the set adds nothing.
    CSimplePostParametersSet<'&'> parameters;
    parameters.Add(
        std::make_shared<CSimpleTextParameter>(bodyText(name, email, text).toStdU16String()));
    client.SendRequest(kPath, &parameters, u"");
}

ContactSender::Outcome ContactSender::send(const QString& name, const QString& email,
                                           const QString& text) {
    const QString trimmedName = name.trimmed();
    const QString trimmedEmail = email.trimmed();
    const QString trimmedText = text.trimmed();
    if (trimmedName.isEmpty() || trimmedEmail.isEmpty() || trimmedText.isEmpty())
        return {Result::MissingField, 0, {}};
    if (sentToday())
        return {Result::AlreadySentToday, 0, {}};

    try {
        post(trimmedName, trimmedEmail, trimmedText);
    } catch (const CNetworkException& failure) {
        return {Result::NetworkFailure, failure.GetErrorCode(), failure.what()};
    } catch (const std::exception& failure) {
        return {Result::OtherFailure, 0, failure.what()};
    }
    recordSent();
    return {Result::Sent, 0, {}};
}

} // namespace MW
