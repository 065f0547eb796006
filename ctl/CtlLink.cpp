#include "CtlLink.h"

#include "Access.h"
#include "Commands.h"

namespace MW::Ctl {

CCtlError callError(const QString& what, const CCallError& error) {
    QString message = error.text().simplified();
    if (!error.name().isEmpty() && message != error.name())
        message += QStringLiteral(" (%1)").arg(error.name());
    return CCtlError(what + QStringLiteral(": ") + message, error.name(),
                     error.isAccessDenied() ? kExitNotAllowed : kExitError);
}

void connectService(CServiceLink& link, EBusChoice choice) {
    const SServiceLocation where = link.locate();
    if (!where.found && !where.connected && choice != EBusChoice::Auto)
        throw CCtlError(QStringLiteral("the %1 bus cannot be reached").arg(where.busName));
    if (!where.found) {
        const QString buses = choice == EBusChoice::User     ? QStringLiteral("the session bus")
                              : choice == EBusChoice::System ? QStringLiteral("the system bus")
                                                             : QStringLiteral("the session bus or "
                                                                              "the system bus");
        throw CCtlError(
            QStringLiteral("mwservice is neither running nor registered on %1").arg(buses));
    }
    if (!link.createEngine())
        throw CCtlError(
            QStringLiteral("mwservice could not be started on the %1 bus").arg(where.busName));
}

void requireChange(CServiceLink& link) {
    const SServiceAccess access = attempt(
        QStringLiteral("cannot ask the service for the right to change it"),
        [&] { return link.Access(); });
    if (access.mayChange)
        return; // an older service (known false) lets the calls themselves tell
    const QString group =
        access.group.isEmpty() ? QString::fromLatin1(Bus::kDefaultChangeGroup) : access.group;
    throw CCtlError(QStringLiteral("only root and members of the group \"%1\" may change the "
                                   "%2 service")
                        .arg(group, link.busName()),
                    QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"), kExitNotAllowed);
}

} // namespace MW::Ctl
