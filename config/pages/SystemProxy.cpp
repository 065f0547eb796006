#include "SystemProxy.h"

namespace MW {

void ReadSystemProxyInto(quint32& accessType, QString& server, QString& bypass) {
    Q_UNUSED(server);
    Q_UNUSED(bypass);
    accessType = 0;
    throw CSystemProxyError(QStringLiteral("The system proxy cannot be read in this build."));
}

} // namespace MW
