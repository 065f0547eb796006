#include "BusCalls.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QMetaType>
#include <algorithm>

namespace MW::Link {
namespace {

const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

[[noreturn]] void wrongType(const QString& name, const QVariant& value) {
    throw CCallError(QStringLiteral("The service answered %1 with a value of type %2.")
                         .arg(name, QString::fromLatin1(value.typeName())));
}

} // namespace

QString errorText(const QDBusMessage& reply) {
    const QString message = reply.errorMessage();
    return message.isEmpty() ? reply.errorName() : message;
}

int callTimeout(const QDeadlineTimer& deadline, int limitMs) {
    if (deadline.isForever())
        return limitMs;
    const qint64 left = deadline.remainingTime();
    if (left <= 0)
        throw CCallError(kOutOfTimeText);
    return static_cast<int>(std::min<qint64>(left, limitMs));
}

QDBusMessage RemoteObject::call(const QString& iface, const QString& method,
                                const QVariantList& args, int timeoutMs) const {
    if (owner.isEmpty())
        throw CCallError(kNoEngineText);
    QDBusMessage message = QDBusMessage::createMethodCall(owner, path, iface, method);
    message.setArguments(args);
    const QDBusMessage reply = bus.call(message, QDBus::Block, callTimeout(deadline, timeoutMs));
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw CCallError(errorText(reply), reply.errorName());
    return reply;
}

QVariant RemoteObject::get(const QString& iface, const QString& name) const {
    const QDBusMessage reply = call(kProperties, QStringLiteral("Get"), {iface, name});
    const QVariant outer = reply.arguments().value(0);
    if (outer.metaType() != QMetaType::fromType<QDBusVariant>())
        wrongType(name, outer);
    return outer.value<QDBusVariant>().variant();
}

void RemoteObject::set(const QString& iface, const QString& name, const QVariant& value) const {
    call(kProperties, QStringLiteral("Set"),
         {iface, name, QVariant::fromValue(QDBusVariant(value))});
}

QString toText(const QVariant& value, const QString& name) {
    if (value.metaType() != QMetaType::fromType<QString>())
        wrongType(name, value);
    return value.toString();
}

qint32 toInt32(const QVariant& value, const QString& name) {
    if (value.metaType() != QMetaType::fromType<int>())
        wrongType(name, value);
    return value.toInt();
}

quint32 toUInt32(const QVariant& value, const QString& name) {
    if (value.metaType() != QMetaType::fromType<uint>())
        wrongType(name, value);
    return value.toUInt();
}

quint64 toUInt64(const QVariant& value, const QString& name) {
    if (value.metaType() != QMetaType::fromType<qulonglong>())
        wrongType(name, value);
    return value.toULongLong();
}

double toDate(const QVariant& value, const QString& name) {
    // StartTime is a variant property: the value read is itself a variant.
    QVariant inner = value;
    if (inner.metaType() == QMetaType::fromType<QDBusVariant>())
        inner = inner.value<QDBusVariant>().variant();
    if (inner.metaType() != QMetaType::fromType<double>())
        wrongType(name, inner);
    return inner.toDouble();
}

} // namespace MW::Link
