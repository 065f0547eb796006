#pragma once
// How mwctl writes: text lines for people, one JSON document for scripts.

#include <QJsonObject>
#include <QString>

namespace MW::Ctl {

void printLine(const QString& line);
void printJson(const QJsonObject& document);
// "mwctl: message" on standard error.
void printError(const QString& message);

// A path or name from the service, safe to put on a terminal: control
// characters become \xHH.
QString printable(const QString& text);

} // namespace MW::Ctl
