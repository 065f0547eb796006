#include "SystemProxyReader.h"

// The HTTP client library's reader.
#include "CException.h"
#include "SystemProxy.h"

namespace MW {

void ReadSystemProxyInto(quint32& accessType, QString& server, QString& bypass) {
    std::u16string netServer = server.toStdU16String();
    std::u16string netBypass = bypass.toStdU16String();
    std::uint32_t netAccessType = 0;
    try {
        Cxx::Network::Http::HttpClient::ReadSystemProxy(netAccessType, netServer, netBypass);
    } catch (const Cxx::Network::Exception::CNetworkException& error) {
        throw CSystemProxyError(QString::fromUtf8(error.what()));
    }
    accessType = netAccessType;
    server = QString::fromStdU16String(netServer);
    bypass = QString::fromStdU16String(netBypass);
}

} // namespace MW
