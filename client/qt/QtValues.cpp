#include "QtValues.h"

#include "BusCalls.h"
#include "OleDateTime.h"

#include <QDBusVariant>

namespace MW::Link {

QVariant toBusValue(Client::EProperty property, const Client::PropertyValue& value) {
    return std::visit(
        [property](const auto& v) -> QVariant {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>)
                return toQString(v);
            else if constexpr (std::is_same_v<T, std::int32_t>)
                return QVariant::fromValue<int>(v);
            else if constexpr (std::is_same_v<T, std::uint32_t>)
                return QVariant::fromValue<uint>(v);
            else if constexpr (std::is_same_v<T, std::uint64_t>)
                return QVariant::fromValue<qulonglong>(v);
            else if (property == Client::EProperty::StartTime)
                return QVariant::fromValue(QDBusVariant(v));
            else
                return QVariant(v);
        },
        value);
}

Client::PropertyValue fromBusValue(Client::EProperty property, const QVariant& value) {
    const Client::SPropertyInfo& info = Client::PropertyInfo(property);
    const QString name = QLatin1String(info.name);
    switch (info.kind) {
    case 0: return toUtf8(toText(value, name));
    case 1: return std::int32_t{toInt32(value, name)};
    case 2: return std::uint32_t{toUInt32(value, name)};
    case 3: return std::uint64_t{toUInt64(value, name)};
    default: return toDate(value, name);
    }
}

double toOleDate(const QDateTime& local) {
    const QDateTime dt = local.toLocalTime();
    const QDate date = dt.date();
    const QTime time = dt.time();
    return OleDate::fromDateTime({date.year(), date.month(), date.day(), time.hour(),
                                  time.minute(), time.second(), time.msec()});
}

QDateTime fromOleDate(double oleDate) {
    const auto dt = OleDate::toDateTime(oleDate);
    if (!dt)
        return {};
    return QDateTime(QDate(dt->year, dt->month, dt->day),
                     QTime(dt->hour, dt->minute, dt->second, dt->millisecond));
}

} // namespace MW::Link
