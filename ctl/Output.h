#pragma once
// How mwctl writes: text lines for people, one JSON document for scripts.

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace MW::Ctl {

void printLine(const QString& line);
void printJson(const QJsonObject& document);
// A line of a long list: buffered, so that a million of them cost no more than
// their bytes.
void printListLine(const QString& line);
// One JSON document written as it goes, laid out as printJson lays it out, for
// lists too long to hold in memory. Members come in the order they are given:
// give them sorted by key, as printJson's documents are.
class CJsonStream {
public:
    CJsonStream();
    void member(const QString& key, const QJsonValue& value);
    void beginArray(const QString& key);
    void item(const QJsonValue& value);
    void endArray();
    // Closes the document.
    void finish();

private:
    void key(const QString& name);
    bool m_bFirstMember = true;
    bool m_bFirstItem = true;
};

// "mwctl: message" on standard error.
void printError(const QString& message);

// A path or name from the service, safe to put on a terminal: control
// characters become \xHH.
QString printable(const QString& text);

} // namespace MW::Ctl
