#include "CServiceLink.h"

#include "Access.h"
#include "AccessProxy.h"
#include "BusCalls.h"
#include "Contract.h"
#include "MorrowickProxies.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QList>

namespace MW {
namespace {

const QString kServiceName = QString::fromLatin1(Bus::kServiceName);
const QString kEnginePath = QStringLiteral("/org/morrowick/Morrowick");

// A connection of our own per bus, opened at the address the environment names
// now: the process-wide default connections are fixed at their first use and
// never come back once their bus has gone.
QDBusConnection openBus(QDBusConnection& held, QDBusConnection::BusType type) {
    if (held.isConnected())
        return held;
    static int serial = 0;
    if (!held.name().isEmpty())
        QDBusConnection::disconnectFromBus(held.name());
    const bool session = type == QDBusConnection::SessionBus;
    const QString name = QStringLiteral("mwconfig-%1-%2")
                             .arg(session ? QStringLiteral("session") : QStringLiteral("system"))
                             .arg(++serial);
    const QByteArray address =
        qgetenv(session ? "DBUS_SESSION_BUS_ADDRESS" : "DBUS_SYSTEM_BUS_ADDRESS");
    held = address.isEmpty() ? QDBusConnection::connectToBus(type, name)
                             : QDBusConnection::connectToBus(QString::fromUtf8(address), name);
    return held;
}

} // namespace

CServiceLink::CServiceLink(QObject* parent) : QObject(parent) {}

CServiceLink::~CServiceLink() {
    unadviseEngine();
    for (const QString& name : {m_session.name(), m_system.name()})
        if (!name.isEmpty())
            QDBusConnection::disconnectFromBus(name);
}

bool CServiceLink::findOn(QDBusConnection bus) {
    if (!bus.isConnected())
        return false;
    QDBusConnectionInterface* daemon = bus.interface();
    daemon->setTimeout(Link::kCallTimeoutMs);
    if (!daemon->isServiceRegistered(kServiceName).value()) {
        const QDBusReply<QStringList> activatable = daemon->activatableServiceNames();
        if (!activatable.isValid() || !activatable.value().contains(kServiceName))
            return false;
        // The service answers only once its settings are loaded, so there is
        // nothing to wait for after activation.
        if (!daemon->startService(kServiceName).isValid())
            return false;
    }
    const QDBusReply<QString> owner = daemon->serviceOwner(kServiceName);
    if (!owner.isValid() || owner.value().isEmpty())
        return false;
    m_bus = bus;
    m_owner = owner.value();
    return true;
}

bool CServiceLink::createEngine() {
    releaseEngine();
    return findOn(openBus(m_session, QDBusConnection::SessionBus)) ||
           findOn(openBus(m_system, QDBusConnection::SystemBus));
}

void CServiceLink::releaseEngine() {
    m_owner.clear();
}

void CServiceLink::scanNow() {
    if (!hasEngine())
        throw CCallError(Link::kNoEngineText);
    OrgMorrowickIMorrowickInterface engine(m_owner, kEnginePath, m_bus);
    engine.setTimeout(Link::kCallTimeoutMs);
    QDBusPendingReply<> reply = engine.scanNow();
    reply.waitForFinished();
    if (reply.isError())
        throw CCallError(Link::errorText(reply.reply()));
}

void CServiceLink::fireEvent(qint32 event) {
    if (!hasEngine())
        throw CCallError(Link::kNoEngineText);
    OrgMorrowickIMorrowickInterface engine(m_owner, kEnginePath, m_bus);
    engine.setTimeout(Link::kCallTimeoutMs);
    QDBusPendingReply<> reply = engine.fireEvent(event);
    reply.waitForFinished();
    if (reply.isError())
        throw CCallError(Link::errorText(reply.reply()));
}

QVariant CServiceLink::readEngine(const QString& name) {
    const Link::RemoteObject engine{m_bus, m_owner, kEnginePath};
    return engine.get(OrgMorrowickIMorrowickInterface::staticInterfaceName(), name);
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
    if (!hasEngine())
        throw CCallError(Link::kNoEngineText);
    // Errors of a service that does not know the interface.
    static const QList<QDBusError::ErrorType> kUnknown{
        QDBusError::UnknownMethod, QDBusError::UnknownInterface, QDBusError::UnknownObject,
        QDBusError::UnknownProperty};
    OrgMorrowickAccessInterface access(m_owner, kEnginePath, m_bus);
    access.setTimeout(Link::kCallTimeoutMs);
    QDBusPendingReply<bool> reply = access.mayChange();
    reply.waitForFinished();
    if (reply.isError()) {
        if (kUnknown.contains(reply.error().type()))
            return {};
        throw CCallError(Link::errorText(reply.reply()));
    }
    SServiceAccess result;
    result.known = true;
    result.mayChange = reply.value();
    const Link::RemoteObject engine{m_bus, m_owner, kEnginePath};
    result.group = Link::toText(engine.get(OrgMorrowickAccessInterface::staticInterfaceName(),
                                           QString::fromLatin1(Bus::kAccessGroup)),
                                QString::fromLatin1(Bus::kAccessGroup));
    return result;
}

std::unique_ptr<CConfigRef> CServiceLink::Config() {
    const QVariant value = readEngine(QStringLiteral("Config"));
    if (value.metaType() != QMetaType::fromType<QDBusObjectPath>())
        throw CCallError(QStringLiteral("The service answered Config with a value of type %1.")
                             .arg(QString::fromLatin1(value.typeName())));
    return std::make_unique<CConfigRef>(m_bus, m_owner, value.value<QDBusObjectPath>().path());
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
    return true;
}

void CServiceLink::unadviseEngine() {
    m_events.reset();
}

} // namespace MW
