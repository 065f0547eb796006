#include "CServiceLink.h"

#include "Access.h"
#include "BusCalls.h"
#include "Contract.h"
#include "MorrowickInterfaces.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QList>

namespace MW {
namespace {

const QString kServiceName = QString::fromLatin1(Bus::kServiceName);
const QString kEnginePath = QString::fromLatin1(Bus::kEnginePath);
const QString kConfigPath = QString::fromLatin1(Bus::kConfigPath);
const QString kEngineInterface = QString::fromLatin1(Bus::kEngineInterface);
const QString kConfigInterface = QString::fromLatin1(Bus::kConfigInterface);
const QString kAccessInterface = QString::fromLatin1(Bus::kAccessInterface);
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kSession = QStringLiteral("session");
const QString kSystem = QStringLiteral("system");

} // namespace

CServiceLink::CServiceLink(EBusChoice choice, QObject* parent)
    : QObject(parent), m_choice(choice) {}

CServiceLink::~CServiceLink() {
    unadviseEngine();
    for (const QString& name : {m_session.name(), m_system.name()})
        if (!name.isEmpty())
            QDBusConnection::disconnectFromBus(name);
}

// A connection of our own per bus, opened at the address the environment names
// now: the process-wide default connections are fixed at their first use and
// never come back once their bus has gone.
QDBusConnection CServiceLink::openBus(bool session) {
    QDBusConnection& held = session ? m_session : m_system;
    if (held.isConnected())
        return held;
    static int serial = 0;
    if (!held.name().isEmpty())
        QDBusConnection::disconnectFromBus(held.name());
    const QString name =
        QStringLiteral("mw-%1-%2").arg(session ? kSession : kSystem).arg(++serial);
    const QByteArray address =
        qgetenv(session ? "DBUS_SESSION_BUS_ADDRESS" : "DBUS_SYSTEM_BUS_ADDRESS");
    const auto type = session ? QDBusConnection::SessionBus : QDBusConnection::SystemBus;
    held = address.isEmpty() ? QDBusConnection::connectToBus(type, name)
                             : QDBusConnection::connectToBus(QString::fromUtf8(address), name);
    return held;
}

SServiceLocation CServiceLink::probe(QDBusConnection bus, const QString& busName) {
    SServiceLocation location;
    location.busName = busName;
    location.connected = bus.isConnected();
    if (!location.connected)
        return location;
    QDBusConnectionInterface* daemon = bus.interface();
    daemon->setTimeout(Link::callTimeout(m_deadline));
    const QDBusReply<bool> owned = daemon->isServiceRegistered(kServiceName);
    location.running = owned.isValid() && owned.value();
    if (location.running) {
        location.found = true;
        return location;
    }
    const QDBusReply<QStringList> activatable = daemon->activatableServiceNames();
    location.found = activatable.isValid() && activatable.value().contains(kServiceName);
    return location;
}

SServiceLocation CServiceLink::locate() {
    if (m_choice != EBusChoice::System) {
        SServiceLocation session = probe(openBus(true), kSession);
        if (session.found || m_choice == EBusChoice::User)
            return session;
    }
    return probe(openBus(false), kSystem);
}

bool CServiceLink::findOn(QDBusConnection bus, const QString& busName) {
    const SServiceLocation location = probe(bus, busName);
    if (!location.found)
        return false;
    QDBusConnectionInterface* daemon = bus.interface();
    if (!location.running) {
        // Its own, longer bound: a cold start may take a while. The service
        // answers only once its settings are loaded, so there is nothing to wait
        // for after activation.
        daemon->setTimeout(Link::callTimeout(m_deadline, Link::kActivationTimeoutMs));
        const bool started = daemon->startService(kServiceName).isValid();
        daemon->setTimeout(Link::kCallTimeoutMs);
        if (!started)
            return false;
    }
    daemon->setTimeout(Link::callTimeout(m_deadline));
    const QDBusReply<QString> owner = daemon->serviceOwner(kServiceName);
    if (!owner.isValid() || owner.value().isEmpty())
        return false;
    m_bus = bus;
    m_busName = busName;
    m_owner = owner.value();
    return true;
}

bool CServiceLink::createEngine() {
    releaseEngine();
    try {
        if (m_choice != EBusChoice::System && findOn(openBus(true), kSession))
            return true;
        return m_choice != EBusChoice::User && findOn(openBus(false), kSystem);
    } catch (const CCallError&) {
        return false; // the deadline passed
    }
}

void CServiceLink::releaseEngine() {
    m_owner.clear();
}

QVariant CServiceLink::readEngine(const QString& name) {
    const Link::RemoteObject engine{m_bus, m_owner, kEnginePath, m_deadline};
    return engine.get(kEngineInterface, name);
}

void CServiceLink::scanNow() {
    const Link::RemoteObject engine{m_bus, m_owner, kEnginePath, m_deadline};
    engine.call(kEngineInterface, QStringLiteral("scanNow"));
}

void CServiceLink::fireEvent(qint32 event) {
    const Link::RemoteObject engine{m_bus, m_owner, kEnginePath, m_deadline};
    engine.call(kEngineInterface, QStringLiteral("fireEvent"), {QVariant::fromValue<int>(event)});
}

qint32 CServiceLink::UndeletedCount() {
    return Link::toInt32(readEngine(QStringLiteral("UndeletedCount")),
                         QStringLiteral("UndeletedCount"));
}

QString CServiceLink::UndeletedLog() {
    return Link::toText(readEngine(QStringLiteral("UndeletedLog")), QStringLiteral("UndeletedLog"));
}

qint32 CServiceLink::ActivityState() {
    return Link::toInt32(readEngine(QStringLiteral("ActivityState")),
                         QStringLiteral("ActivityState"));
}

SServiceAccess CServiceLink::Access() {
    const Link::RemoteObject engine{m_bus, m_owner, kEnginePath, m_deadline};
    QDBusMessage reply;
    try {
        reply = engine.call(kAccessInterface, QString::fromLatin1(Bus::kAccessMayChange));
    } catch (const CCallError& error) {
        // Errors of a service that does not know the interface.
        static const QList<QDBusError::ErrorType> kUnknown{
            QDBusError::UnknownMethod, QDBusError::UnknownInterface, QDBusError::UnknownObject,
            QDBusError::UnknownProperty};
        for (const QDBusError::ErrorType type : kUnknown)
            if (error.name() == QDBusError::errorString(type))
                return {};
        throw;
    }
    const QVariant answer = reply.arguments().value(0);
    if (answer.metaType() != QMetaType::fromType<bool>())
        throw CCallError(QStringLiteral("The service answered %1 with a value of type %2.")
                             .arg(QLatin1String(Bus::kAccessMayChange),
                                  QString::fromLatin1(answer.typeName())));
    SServiceAccess result;
    result.known = true;
    result.mayChange = answer.toBool();
    const QString group = QString::fromLatin1(Bus::kAccessGroup);
    result.group = Link::toText(engine.get(kAccessInterface, group), group);
    return result;
}

std::unique_ptr<CConfigRef> CServiceLink::Config() {
    const QVariant value = readEngine(QStringLiteral("Config"));
    if (value.metaType() != QMetaType::fromType<QDBusObjectPath>())
        throw CCallError(QStringLiteral("The service answered Config with a value of type %1.")
                             .arg(QString::fromLatin1(value.typeName())));
    return std::make_unique<CConfigRef>(
        Link::RemoteObject{m_bus, m_owner, value.value<QDBusObjectPath>().path(), m_deadline});
}

QDBusMessage CServiceLink::callEngine(const QString& iface, const QString& method, int timeoutMs) {
    const Link::RemoteObject engine{m_bus, m_owner, kEnginePath, m_deadline};
    return engine.call(iface, method, {}, timeoutMs);
}

bool CServiceLink::adviseEngine() {
    unadviseEngine();
    if (!hasEngine())
        return false;
    // Bound to the unique name: events of a later service process need a new
    // subscription, made by the reconnection.
    auto events =
        std::make_unique<OrgMorrowickIMorrowickEventsInterface>(m_owner, kEnginePath, m_bus);
    if (!events->isValid())
        return false;
    using Events = OrgMorrowickIMorrowickEventsInterface;
    connect(events.get(), &Events::scanStarted, this, &CServiceLink::scanStarted);
    connect(events.get(), &Events::scanFinished, this, &CServiceLink::scanFinished);
    connect(events.get(), &Events::updateCleanedSpace, this, &CServiceLink::updateCleanedSpace);
    connect(events.get(), &Events::test, this, &CServiceLink::test);
    m_events = std::move(events);
    watchConfig(true);
    return true;
}

void CServiceLink::unadviseEngine() {
    watchConfig(false);
    m_events.reset();
}

bool CServiceLink::watchConfig(bool on) {
    const char* slot = SLOT(onPropertiesChanged(QString, QVariantMap, QStringList));
    if (!m_watchedOwner.isEmpty()) {
        m_watchedBus.disconnect(m_watchedOwner, kConfigPath, kProperties,
                                QStringLiteral("PropertiesChanged"), this, slot);
        m_watchedOwner.clear();
    }
    if (!on)
        return true;
    if (!m_bus.connect(m_owner, kConfigPath, kProperties, QStringLiteral("PropertiesChanged"),
                       this, slot))
        return false;
    m_watchedBus = m_bus;
    m_watchedOwner = m_owner;
    return true;
}

void CServiceLink::onPropertiesChanged(const QString& iface, const QVariantMap& changed,
                                       const QStringList& invalidated) {
    if (iface != kConfigInterface)
        return;
    for (auto it = changed.cbegin(); it != changed.cend(); ++it)
        emit configChanged(it.key(), it.value());
    for (const QString& name : invalidated)
        emit configInvalidated(name);
}

} // namespace MW
