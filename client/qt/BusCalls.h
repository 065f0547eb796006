#pragma once
// Blocking calls on one remote object, each failure turned into a CCallError.

#include "CCallError.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QString>
#include <QVariant>

namespace MW::Link {

// A hung service must not freeze a client for the bus's default 25 s.
inline constexpr int kCallTimeoutMs = 10000;
// Starting the service (bus activation) may take longer than a call: a cold
// start at log-in loads the settings of a slow disk.
inline constexpr int kActivationTimeoutMs = 60000;

// Text for a call without a reference to the engine object.
inline const QString kNoEngineText = QStringLiteral("Invalid pointer");
// Text for a call after the time given to the calls has run out.
inline const QString kOutOfTimeText = QStringLiteral("No time was left for the call.");

// The text of an error reply: its message, or its name when the message is empty.
QString errorText(const QDBusMessage& reply);
// The time-out for the next call: `limitMs`, or less when `deadline` comes
// sooner; throws CCallError once it has passed.
int callTimeout(const QDeadlineTimer& deadline, int limitMs = kCallTimeoutMs);

// One object of the service, addressed by the unique name of the process that
// served it when it was obtained, so that a restarted service is noticed as a
// failed call (as a stale object reference would be), not silently replaced.
struct RemoteObject {
    QDBusConnection bus{QString()};
    QString owner; // unique bus name
    QString path;
    // The calls end by this moment at the latest (forever: each has kCallTimeoutMs).
    QDeadlineTimer deadline{QDeadlineTimer::Forever};

    // Sends the call and waits at most `timeoutMs` (and not past the deadline);
    // throws CCallError.
    QDBusMessage call(const QString& iface, const QString& method, const QVariantList& args = {},
                      int timeoutMs = kCallTimeoutMs) const;
    QVariant get(const QString& iface, const QString& name) const;
    void set(const QString& iface, const QString& name, const QVariant& value) const;
};

// Typed reads: a value of another type than the contract's is a failure too.
QString toText(const QVariant& value, const QString& name);
qint32 toInt32(const QVariant& value, const QString& name);
quint32 toUInt32(const QVariant& value, const QString& name);
quint64 toUInt64(const QVariant& value, const QString& name);
double toDate(const QVariant& value, const QString& name);

} // namespace MW::Link
