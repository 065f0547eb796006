#include "SystemProxyReader.h"

// The HTTP client library's reader.
#include "CException.h"
#include "SystemProxy.h"

#include <QString>

namespace MW {

Client::SSystemProxy ReadSystemProxy(const Client::SSystemProxy& before) {
    std::u16string server = QString::fromStdString(before.server).toStdU16String();
    std::u16string bypass = QString::fromStdString(before.bypass).toStdU16String();
    std::uint32_t accessType = 0;
    try {
        Cxx::Network::Http::HttpClient::ReadSystemProxy(accessType, server, bypass);
    } catch (const Cxx::Network::Exception::CNetworkException& error) {
        throw Client::CSystemProxyError(error.what());
    }
    return {accessType, QString::fromStdU16String(server).toStdString(),
            QString::fromStdU16String(bypass).toStdString()};
}

} // namespace MW
