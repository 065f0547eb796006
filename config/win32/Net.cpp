#include "Net.h"

#include "CException.h"
#include "CHttpsClient.h"
#include "ComError.h"
#include "Parameters.h"
#include "SystemProxy.h"
#include "Text.h"

#include <memory>

namespace MW::Win {

namespace {
using Cxx::Network::Exception::CNetworkException;
using Cxx::Network::Http::HttpClient::CSimplePostParametersSet;
using Cxx::Network::Http::HttpClient::CSimpleTextParameter;

std::u16string u16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}
} // namespace

SPostOutcome PostSupportMessage(const Client::SSupportMessage& message,
                                const std::wstring& proxyServer, int proxyPort) {
    try {
        Common::CHttpsClient client(u"Morrowick", Common::utf8ToUtf16(MW_SUPPORT_HOST), u"POST",
                                    u16(proxyServer), proxyPort, MW_SUPPORT_PORT, false);
        CSimplePostParametersSet<'&'> parameters;
        parameters.Add(
            std::make_shared<CSimpleTextParameter>(Common::utf8ToUtf16(Client::RequestBody(message))));
        // "ContuctUs" is the support server's own path: kept on purpose.
        client.SendRequest(u"/Api/ContuctUs", &parameters, u"");
        // A reply outside 2xx is a failure that names its status as the error code.
        const long status = client.LastStatus();
        if (!Client::Delivered(status))
            return {false, true, static_cast<int>(status),
                    "the support server answered with status " + std::to_string(status)};
    } catch (const CNetworkException& failure) {
        return {false, true, failure.GetErrorCode(), failure.what()};
    } catch (const std::exception& failure) {
        return {false, false, 0, failure.what()};
    }
    return {true, false, 0, {}};
}

Client::SSystemProxy ReadSystemProxy(const Client::SSystemProxy& before) {
    std::u16string server = Common::utf8ToUtf16(before.server);
    std::u16string bypass = Common::utf8ToUtf16(before.bypass);
    std::uint32_t accessType = 0;
    try {
        Cxx::Network::Http::HttpClient::ReadSystemProxy(accessType, server, bypass);
    } catch (const CNetworkException& error) {
        throw Client::CSystemProxyError(error.what());
    }
    return {accessType, Common::utf16ToUtf8(server), Common::utf16ToUtf8(bypass)};
}

} // namespace MW::Win
