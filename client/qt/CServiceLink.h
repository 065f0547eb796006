#pragma once

#include "BusChoice.h"
#include "CCallError.h"
#include "CConfigRef.h"

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <memory>

class OrgMorrowickIMorrowickEventsInterface;

namespace MW {

// What the service lets this program do, asked after each connection.
struct SServiceAccess {
    // Whether the service takes this user's changes (settings, scans).
    bool mayChange = true;
    // The group whose members may change the service, as it reports it; empty
    // when it does not check or did not say.
    QString group;
    // false for a service that does not answer the question (an older one):
    // it is then treated as taking every change, as before.
    bool known = false;
};

// Where the service is, or would be started, found without starting it.
struct SServiceLocation {
    bool found = false;     // on a bus: running, or activatable there
    bool running = false;   // the name has an owner
    bool connected = false; // the bus could be reached
    QString busName;        // "session" or "system": the bus looked at last
};

// A client's reference to the service's engine object and its event
// subscription: the one link mwconfig and mwctl both use. The engine is looked
// for on the session bus first (a per-user registration wins), then on the
// system bus, or on the one bus chosen; bus activation starts the service when it
// is not running. Every call blocks for at most the call time-out (and never past
// the deadline, when one is set) and throws CCallError on failure. No widgets and
// no message boxes: what to tell the user is the caller's business.
class CServiceLink : public QObject {
    Q_OBJECT
public:
    explicit CServiceLink(EBusChoice choice = EBusChoice::Auto, QObject* parent = nullptr);
    ~CServiceLink() override;

    // Where the service is, without starting it.
    SServiceLocation locate();
    // Drops any reference held, then finds (and if need be activates, waiting at
    // most Link::kActivationTimeoutMs) the service. false when it can be reached
    // on no bus allowed.
    bool createEngine();
    void releaseEngine();
    bool hasEngine() const { return !m_owner.isEmpty(); }
    // The unique bus name of the service process the reference points at.
    const QString& engineOwner() const { return m_owner; }
    // The bus the engine was found on, and its kind ("session" or "system").
    QDBusConnection bus() const { return m_bus; }
    const QString& busName() const { return m_busName; }

    // Until cleared (QDeadlineTimer::Forever), every call and activation ends by
    // `deadline`, and a call after it fails at once: bounds a whole sequence of
    // calls, such as the save when the program ends.
    void setDeadline(QDeadlineTimer deadline) { m_deadline = deadline; }
    QDeadlineTimer deadline() const { return m_deadline; }

    void scanNow();
    void fireEvent(qint32 event);
    qint32 UndeletedCount();
    QString UndeletedLog();
    qint32 ActivityState();
    // Asks the service whether it takes this caller's changes. A service without
    // the question gives the default answer; any other failure throws.
    SServiceAccess Access();
    // Reads the engine's Config property: a reference to the Config object.
    std::unique_ptr<CConfigRef> Config();
    // A method of another interface of the engine object, with its own time-out
    // (the preview walks the whole tree before it answers).
    QDBusMessage callEngine(const QString& iface, const QString& method, int timeoutMs);

    // Subscribes to the four events of the current engine object and to the
    // changes of its Config object's properties (dropping an older
    // subscription); false without an engine or when the bus refuses.
    bool adviseEngine();
    void unadviseEngine();
    bool isAdvised() const { return m_events != nullptr; }

signals:
    void scanStarted();
    void scanFinished();
    void updateCleanedSpace(quint64 total);
    void test();
    // A property of the Config object changed (PropertiesChanged); `value` is
    // as the bus carried it (see Link::fromBusValue).
    void configChanged(const QString& property, const QVariant& value);
    // A property changed without its new value being sent: read it again.
    void configInvalidated(const QString& property);

private slots:
    void onPropertiesChanged(const QString& iface, const QVariantMap& changed,
                             const QStringList& invalidated);

private:
    QVariant readEngine(const QString& name);
    SServiceLocation probe(QDBusConnection bus, const QString& busName);
    bool findOn(QDBusConnection bus, const QString& busName);
    QDBusConnection openBus(bool session);
    bool watchConfig(bool on);

    EBusChoice m_choice;
    QDBusConnection m_session{QString()};
    QDBusConnection m_system{QString()};
    QDBusConnection m_bus{QString()}; // the bus the engine was found on
    QString m_busName;
    QString m_owner;
    QDeadlineTimer m_deadline{QDeadlineTimer::Forever};
    std::unique_ptr<OrgMorrowickIMorrowickEventsInterface> m_events;
    QDBusConnection m_watchedBus{QString()}; // where and whose Config changes
    QString m_watchedOwner;                  // are subscribed
};

} // namespace MW
