#pragma once
// Finds mwservice on a bus and hands out the client classes generated from the
// contract. The configurator's rule picks the bus: the session bus when the
// service runs or can be started there (a per-user registration), else the
// system bus.

#include "CommandLine.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QString>
#include <memory>
#include <stdexcept>

class OrgMorrowickIMorrowickInterface;
class OrgMorrowickIConfigInterface;
class OrgMorrowickIMorrowickEventsInterface;
class OrgMorrowickPreviewInterface;

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
CCtlError busError(const QString& what, const QDBusError& error);

// Where the service is, or would be started.
struct SServiceLocation {
    bool found = false;     // on a bus: running, or activatable there
    bool running = false;   // the name has an owner
    QString busName;        // "session" or "system"
    QString connectionName; // of the QDBusConnection
    bool connected = false; // the bus could be reached
};

// Looks for the service without starting it; `found` false when no bus has it.
SServiceLocation locateService(EBusChoice choice);

class CServiceLink {
public:
    // Throws CCtlError when the service is on no bus that `choice` allows.
    explicit CServiceLink(EBusChoice choice);
    ~CServiceLink();
    CServiceLink(const CServiceLink&) = delete;
    CServiceLink& operator=(const CServiceLink&) = delete;

    const SServiceLocation& location() const { return m_location; }
    QDBusConnection connection() const;

    OrgMorrowickIMorrowickInterface& engine() { return *m_pEngine; }
    OrgMorrowickIConfigInterface& config() { return *m_pConfig; }
    OrgMorrowickIMorrowickEventsInterface& events() { return *m_pEvents; }
    OrgMorrowickPreviewInterface& preview() { return *m_pPreview; }

    // Throws CCtlError (exit status 4, the group named) when the service would
    // refuse this user's changes. A service that cannot tell lets the calls
    // themselves decide.
    void requireChange();

    // StartTime as an OLE date. A `v` property's value travels as a variant inside
    // Set's variant, and the generated setter sends only one.
    void setStartTime(double oleDate);

private:
    SServiceLocation m_location;
    std::unique_ptr<OrgMorrowickIMorrowickInterface> m_pEngine;
    std::unique_ptr<OrgMorrowickIConfigInterface> m_pConfig;
    std::unique_ptr<OrgMorrowickIMorrowickEventsInterface> m_pEvents;
    std::unique_ptr<OrgMorrowickPreviewInterface> m_pPreview;
};

// Reads or writes through a generated property accessor and turns a failure into
// CCtlError. The generated accessors only record their errors.
template <typename Iface, typename F> auto checked(Iface& iface, const QString& what, F&& body) {
    if constexpr (std::is_void_v<decltype(body())>) {
        body();
        if (iface.lastError().isValid())
            throw busError(what, iface.lastError());
    } else {
        auto value = body();
        if (iface.lastError().isValid())
            throw busError(what, iface.lastError());
        return value;
    }
}

} // namespace MW::Ctl
