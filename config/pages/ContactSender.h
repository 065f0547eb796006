#pragma once

#include "HttpClient.h"
#include "SupportMessage.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace MW {

// Where support messages go: the host and port set at build time, unless the
// configurator's own settings file names others (group "Support": Host, Port,
// CaFile) for administrators and tests.
struct SupportServer {
    QString host;
    quint16 port = 443;
    QString caFile; // empty: the system's authorities
};
SupportServer supportServer();

// The support telephone number the Contact tab shows, as set at build time.
QString supportPhone();

// Sends the Contact tab's message: field checks, the one-message-a-day rule and the
// request to the support server. No widgets; the tab shows what it returns.
class ContactSender {
public:
    enum class Result {
        Sent,
        MissingField,     // a field was empty after trimming; nothing sent
        AlreadySentToday, // a message went out earlier on this day of the year
        NetworkFailure,   // the HTTP client failed; `errorCode` holds its code
        NotAccepted,      // the server answered outside 2xx; `errorCode` is the status
        OtherFailure,     // anything else went wrong while sending
    };
    struct Outcome {
        Result result = Result::Sent;
        std::int32_t errorCode = 0;
        std::string detail; // the failure's own message, for logs and tests
    };

    // Everything one request needs, gathered on the GUI thread (the settings file
    // is read there), so that the request itself can run on any thread.
    struct Request {
        Client::SSupportMessage message;
        SupportServer server;
        QString proxyServer;
        int proxyPort = 0;
        Cxx::Network::Http::HttpClient::CTransferLimits limits;
    };

    ContactSender();

    // The explicit proxy; an empty server or port 0 leaves the system proxy in charge.
    void setProxy(const QString& server, int port);
    // The day of the year (1-366, local time) the daily rule uses; tests replace it.
    void setDayClock(std::function<int()> dayOfYear);
    // The HTTP client's time and size bounds; tests shorten them.
    void setLimits(const Cxx::Network::Http::HttpClient::CTransferLimits& limits);

    // The field checks and the daily rule. An outcome when the message must not
    // go (nothing is sent); otherwise the request to post. Values are trimmed here;
    // the callers keep what the user typed.
    std::optional<Outcome> prepare(const QString& name, const QString& email, const QString& text,
                                   Request& request) const;
    // Posts the request and judges the answer. Touches no settings and no
    // widgets, so it may run off the GUI thread.
    static Outcome post(const Request& request);
    // Records the day when the outcome is a sent message.
    void finish(const Outcome& outcome) const;
    // prepare, post and finish on the calling thread.
    Outcome send(const QString& name, const QString& email, const QString& text);

    // Runs `post` on a thread of its own and hands the outcome to `done` on the
    // GUI thread, through the application's event loop.
    static void postInBackground(Request request, std::function<void(const Outcome&)> done);
    // How many background requests have not yet handed over their outcome. A
    // request cannot be stopped mid-call, so the program ends without waiting
    // for those (see main).
    static int requestsInFlight();

    // The request body: the three values put in as they are, without escaping.
    static QByteArray requestBody(const QString& name, const QString& email, const QString& text);

    bool sentToday() const;
    // Remembers today as the day of the last message; a failure goes unreported.
    void recordSent() const;

private:
    QString m_strProxyServer;
    int m_nProxyPort = 0;
    Cxx::Network::Http::HttpClient::CTransferLimits m_limits;
    std::function<int()> m_dayOfYear;
};

} // namespace MW
