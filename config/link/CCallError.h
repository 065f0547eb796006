#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace MW {

// A failed call to the service. text() is what the user is shown after the
// fixed part of a message: the bus error's message, or its name when the
// message is empty.
class CCallError : public std::exception {
public:
    explicit CCallError(QString text);

    const QString& text() const { return m_text; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

} // namespace MW
