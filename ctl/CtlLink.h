#pragma once
// How mwctl reaches the service: the clients' one link (CServiceLink), with its
// failures turned into one line and an exit status.

#include "CServiceLink.h"

#include <QString>
#include <stdexcept>

namespace MW::Ctl {

// A failure mwctl reports as one line and an exit status, 1 unless said. `name`
// is the bus error name when the service (or the bus) refused, else empty.
class CCtlError : public std::runtime_error {
public:
    explicit CCtlError(const QString& message, QString name = {}, int exitStatus = 1)
        : std::runtime_error(message.toStdString()), m_strName(std::move(name)),
          m_nExitStatus(exitStatus) {}
    const QString& name() const { return m_strName; }
    int exitStatus() const { return m_nExitStatus; }

private:
    QString m_strName;
    int m_nExitStatus;
};

// "what: the error's message (its name)", on one line. A refusal for want of
// rights ends with status 4, like requireChange().
CCtlError callError(const QString& what, const CCallError& error);

// Runs `body` (calls on the link); a failed call becomes callError(what, ...).
template <typename F> auto attempt(const QString& what, F&& body) -> decltype(body()) {
    try {
        return body();
    } catch (const CCallError& error) {
        throw callError(what, error);
    }
}

// Finds the service on the bus the link was made for, starting it when it is
// registered but not running. Throws CCtlError when no allowed bus has it.
void connectService(CServiceLink& link, EBusChoice choice);

// Throws CCtlError (exit status 4, the group named) when the service would
// refuse this user's changes. A service that cannot tell lets the calls
// themselves decide.
void requireChange(CServiceLink& link);

} // namespace MW::Ctl
