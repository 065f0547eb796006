#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace MW {

// A failed call to the service. text() is what the configurator shows after the
// fixed part of a message: the bus error's message, or its name when the
// message is empty. name() is the bus error's name (empty for a failure found
// before or after the call, such as a missing reference or a wrong type).
class CCallError : public std::exception {
public:
    explicit CCallError(QString text, QString name = QString());

    const QString& text() const { return m_text; }
    const QString& name() const { return m_name; }
    // Whether the service refused the call for want of rights.
    bool isAccessDenied() const;
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QString m_name;
    QByteArray m_utf8;
};

} // namespace MW
