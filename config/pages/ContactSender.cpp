#include "ContactSender.h"

#include "CException.h"
#include "CHttpsClient.h"
#include "Parameters.h"
#include "QtValues.h"
#include "SupportMessage.h"

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
// "ContuctUs" is the support server's own path: kept on purpose.
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

Client::SSupportMessage asMessage(const QString& name, const QString& email,
                                  const QString& text) {
    return {Link::toUtf8(name), Link::toUtf8(email), Link::toUtf8(text)};
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
    return QByteArray::fromStdString(Client::RequestBody(asMessage(name, email, text)));
}

bool ContactSender::sentToday() const {
    const QVariant stored = userSettings()->value(kSentKey);
    return stored.isValid() && Client::SentOn(Link::toUtf8(stored.toString()), m_dayOfYear());
}

void ContactSender::recordSent() const {
    const auto settings = userSettings();
    settings->setValue(kSentKey, m_dayOfYear());
    settings->sync();
}

void ContactSender::post(const Client::SSupportMessage& message) const {
    const SupportServer server = supportServer();
    MW::Common::CTlsOptions tls;
    tls.caFile = server.caFile.toStdString();
    MW::Common::CHttpsClient client(kUserAgent, server.host.toStdU16String(), kMethod,
                                    m_strProxyServer.toStdU16String(), m_nProxyPort, server.port,
                                    false, tls);

    // One text parameter: it does the conversion to UTF-8, the set adds nothing.
    CSimplePostParametersSet<'&'> parameters;
    parameters.Add(std::make_shared<CSimpleTextParameter>(
        QString::fromStdString(Client::RequestBody(message)).toStdU16String()));
    client.SendRequest(kPath, &parameters, u"");
}

ContactSender::Outcome ContactSender::send(const QString& name, const QString& email,
                                           const QString& text) {
    const Client::SSupportMessage trimmed =
        Client::TrimmedMessage(Link::toUtf8(name), Link::toUtf8(email), Link::toUtf8(text));
    if (!Client::IsComplete(trimmed))
        return {Result::MissingField, 0, {}};
    if (sentToday())
        return {Result::AlreadySentToday, 0, {}};

    try {
        post(trimmed);
    } catch (const CNetworkException& failure) {
        return {Result::NetworkFailure, failure.GetErrorCode(), failure.what()};
    } catch (const std::exception& failure) {
        return {Result::OtherFailure, 0, failure.what()};
    }
    recordSent();
    return {Result::Sent, 0, {}};
}

} // namespace MW
