#include "CServiceLink.h"

#include "Access.h"
#include "AccessInterface.h"
#include "Commands.h"
#include "MorrowickInterfaces.h"
#include "PreviewInterface.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

namespace MW::Ctl {
namespace {

const QString kService = QStringLiteral("org.morrowick.Service");
const QString kEnginePath = QStringLiteral("/org/morrowick/Morrowick");
const QString kConfigPath = QStringLiteral("/org/morrowick/Config");

SServiceLocation probe(const QDBusConnection& bus, const QString& busName) {
    SServiceLocation location;
    location.busName = busName;
    location.connectionName = bus.name();
    location.connected = bus.isConnected();
    if (!location.connected)
        return location;
    QDBusConnectionInterface* daemon = bus.interface();
    const QDBusReply<bool> owned = daemon->isServiceRegistered(kService);
    location.running = owned.isValid() && owned.value();
    if (location.running) {
        location.found = true;
        return location;
    }
    const QDBusReply<QStringList> activatable = daemon->activatableServiceNames();
    location.found = activatable.isValid() && activatable.value().contains(kService);
    return location;
}

} // namespace

CCtlError busError(const QString& what, const QDBusError& error) {
    QString message = error.message().simplified();
    const QString name = error.name();
    if (message.isEmpty())
        message = name;
    else if (!name.isEmpty())
        message += QStringLiteral(" (%1)").arg(name);
    return CCtlError(what + QStringLiteral(": ") + message, name,
                     error.type() == QDBusError::AccessDenied ? kExitNotAllowed : kExitError);
}

SServiceLocation locateService(EBusChoice choice) {
    if (choice != EBusChoice::System) {
        SServiceLocation session = probe(QDBusConnection::sessionBus(), QStringLiteral("session"));
        if (session.found || choice == EBusChoice::User)
            return session;
    }
    return probe(QDBusConnection::systemBus(), QStringLiteral("system"));
}

CServiceLink::CServiceLink(EBusChoice choice) : m_location(locateService(choice)) {
    if (!m_location.found && !m_location.connected && choice != EBusChoice::Auto)
        throw CCtlError(QStringLiteral("the %1 bus cannot be reached").arg(m_location.busName));
    if (!m_location.found) {
        const QString where = choice == EBusChoice::User ? QStringLiteral("the session bus")
                              : choice == EBusChoice::System
                                  ? QStringLiteral("the system bus")
                                  : QStringLiteral("the session bus or the "
                                                   "system bus");
        throw CCtlError(
            QStringLiteral("mwservice is neither running nor registered on %1").arg(where));
    }
    const QDBusConnection bus = connection();
    m_pEngine = std::make_unique<OrgMorrowickIMorrowickInterface>(kService, kEnginePath, bus);
    m_pConfig = std::make_unique<OrgMorrowickIConfigInterface>(kService, kConfigPath, bus);
    m_pEvents = std::make_unique<OrgMorrowickIMorrowickEventsInterface>(kService, kEnginePath, bus);
    m_pPreview = std::make_unique<OrgMorrowickPreviewInterface>(kService, kEnginePath, bus);
}

CServiceLink::~CServiceLink() = default;

void CServiceLink::requireChange() {
    OrgMorrowickAccessInterface access(kService, kEnginePath, connection());
    QDBusPendingReply<bool> reply = access.mayChange();
    reply.waitForFinished();
    if (reply.isError()) {
        const QDBusError::ErrorType type = reply.error().type();
        if (type == QDBusError::UnknownMethod || type == QDBusError::UnknownInterface ||
            type == QDBusError::UnknownObject)
            return; // an older service: the calls themselves will tell
        throw busError(QStringLiteral("cannot ask the service for the right to change it"),
                       reply.error());
    }
    if (reply.value())
        return;
    QString group = access.group();
    if (access.lastError().isValid() || group.isEmpty())
        group = QString::fromLatin1(Bus::kDefaultChangeGroup);
    throw CCtlError(QStringLiteral("only root and members of the group \"%1\" may change the "
                                   "%2 service")
                        .arg(group, m_location.busName),
                    QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"), kExitNotAllowed);
}

QDBusConnection CServiceLink::connection() const {
    return QDBusConnection(m_location.connectionName);
}

void CServiceLink::setStartTime(double oleDate) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, kConfigPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Set"));
    const QVariant inner = QVariant::fromValue(QDBusVariant(oleDate));
    call << m_pConfig->interface() << QStringLiteral("StartTime")
         << QVariant::fromValue(QDBusVariant(inner));
    const QDBusMessage reply = connection().call(call);
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw busError(QStringLiteral("the service refused to change time"), QDBusError(reply));
}

} // namespace MW::Ctl
