#pragma once
// The one place the pages read the system's proxy configuration.

#include <QString>
#include <QtGlobal>
#include <stdexcept>

namespace MW {

// Reading the system proxy failed; text() is the reader's message.
class CSystemProxyError : public std::runtime_error {
public:
    explicit CSystemProxyError(const QString& text)
        : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

// Fills the access type (0 none, 3 named proxy), server and bypass from the
// system's proxy configuration; server and bypass keep their values when no proxy
// is configured. Throws CSystemProxyError.
void ReadSystemProxyInto(quint32& accessType, QString& server, QString& bypass);

} // namespace MW
