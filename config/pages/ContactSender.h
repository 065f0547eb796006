#pragma once

#include "SupportMessage.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
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
        OtherFailure,     // anything else went wrong while sending
    };
    struct Outcome {
        Result result = Result::Sent;
        std::int32_t errorCode = 0;
        std::string detail; // the failure's own message, for logs and tests
    };

    ContactSender();

    // The explicit proxy; an empty server or port 0 leaves the system proxy in charge.
    void setProxy(const QString& server, int port);
    // The day of the year (1-366, local time) the daily rule uses; tests replace it.
    void setDayClock(std::function<int()> dayOfYear);

    // The values are trimmed here; the callers keep what the user typed.
    Outcome send(const QString& name, const QString& email, const QString& text);

    // The request body: the three values put in as they are, without escaping.
    static QByteArray requestBody(const QString& name, const QString& email, const QString& text);

    bool sentToday() const;
    // Remembers today as the day of the last message; a failure goes unreported.
    void recordSent() const;

private:
    void post(const Client::SSupportMessage& message) const;

    QString m_strProxyServer;
    int m_nProxyPort = 0;
    std::function<int()> m_dayOfYear;
};

} // namespace MW
