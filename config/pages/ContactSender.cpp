#include "ContactSender.h"

#include "CException.h"
#include "CHttpsClient.h"
#include "Parameters.h"
#include "QtValues.h"
#include "SupportMessage.h"

#include <QCoreApplication>
#include <QDate>
#include <QSettings>
#include <atomic>
#include <memory>
#include <thread>

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

void ContactSender::setLimits(const Cxx::Network::Http::HttpClient::CTransferLimits& limits) {
    m_limits = limits;
}

std::optional<ContactSender::Outcome> ContactSender::prepare(const QString& name,
                                                             const QString& email,
                                                             const QString& text,
                                                             Request& request) const {
    request.message =
        Client::TrimmedMessage(Link::toUtf8(name), Link::toUtf8(email), Link::toUtf8(text));
    if (!Client::IsComplete(request.message))
        return Outcome{Result::MissingField, 0, {}};
    if (sentToday())
        return Outcome{Result::AlreadySentToday, 0, {}};
    request.server = supportServer();
    request.proxyServer = m_strProxyServer;
    request.proxyPort = m_nProxyPort;
    request.limits = m_limits;
    return std::nullopt;
}

ContactSender::Outcome ContactSender::post(const Request& request) {
    try {
        MW::Common::CTlsOptions tls;
        tls.caFile = request.server.caFile.toStdString();
        MW::Common::CHttpsClient client(kUserAgent, request.server.host.toStdU16String(), kMethod,
                                        request.proxyServer.toStdU16String(), request.proxyPort,
                                        request.server.port, false, tls);
        client.SetLimits(request.limits);

        // One text parameter: it does the conversion to UTF-8, the set adds nothing.
        CSimplePostParametersSet<'&'> parameters;
        parameters.Add(std::make_shared<CSimpleTextParameter>(
            QString::fromStdString(Client::RequestBody(request.message)).toStdU16String()));
        client.SendRequest(kPath, &parameters, u"");
        const long status = client.LastStatus();
        if (!Client::Delivered(status))
            return {Result::NotAccepted, static_cast<std::int32_t>(status),
                    "the support server answered with status " + std::to_string(status)};
    } catch (const CNetworkException& failure) {
        return {Result::NetworkFailure, failure.GetErrorCode(), failure.what()};
    } catch (const std::exception& failure) {
        return {Result::OtherFailure, 0, failure.what()};
    }
    return {Result::Sent, 0, {}};
}

void ContactSender::finish(const Outcome& outcome) const {
    if (outcome.result == Result::Sent)
        recordSent();
}

ContactSender::Outcome ContactSender::send(const QString& name, const QString& email,
                                           const QString& text) {
    Request request;
    if (const std::optional<Outcome> refused = prepare(name, email, text, request))
        return *refused;
    const Outcome outcome = post(request);
    finish(outcome);
    return outcome;
}

namespace {
std::atomic<int> g_inFlight{0};
} // namespace

void ContactSender::postInBackground(Request request, std::function<void(const Outcome&)> done) {
    ++g_inFlight;
    std::thread([request = std::move(request), done = std::move(done)]() mutable {
        const Outcome outcome = post(request);
        // The application outlives this hand-over: main does not return (and so
        // does not destroy it) while a request is in flight.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [done = std::move(done), outcome] { done(outcome); },
            Qt::QueuedConnection);
        --g_inFlight;
    }).detach();
}

int ContactSender::requestsInFlight() {
    return g_inFlight.load();
}

} // namespace MW
