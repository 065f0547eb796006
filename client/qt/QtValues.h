#pragma once
// Between the client rules' plain values and Qt's: texts, property values as
// the bus carries them, and OLE dates as QDateTime.

#include "ConfigValues.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <string>

namespace MW::Link {

inline QString toQString(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string toUtf8(const QString& text) {
    return text.toStdString();
}

// A property's value as Properties.Set carries it inside its variant: StartTime,
// a variant property, as a variant of its own.
QVariant toBusValue(Client::EProperty property, const Client::PropertyValue& value);
// A value read (Get) or announced (PropertiesChanged); a value of another type
// than the property's throws CCallError.
Client::PropertyValue fromBusValue(Client::EProperty property, const QVariant& value);

// Local date and time <-> OLE date, to the millisecond, through the one
// conversion of OleDateTime.h. An OLE date beyond the calendar gives an invalid
// QDateTime.
double toOleDate(const QDateTime& local);
QDateTime fromOleDate(double oleDate);

} // namespace MW::Link
