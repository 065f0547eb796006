#include "HttpClient.h"

#include "Transfer.h"
#include "Messages.h"
#include "ResponseHeaders.h"

#include <cstring>
#include <vector>

namespace Cxx::Network::Http::HttpClient {
namespace {

using Exception::CNetworkException;

} // namespace

CHttpClient::CHttpClient() : m_transfer(std::make_unique<Detail::CTransfer>()) {}

CHttpClient::~CHttpClient() = default;

void CHttpClient::SetCredentialsProvider(ICredentialsProvider* provider) {
    m_credentialsProvider = provider;
}

void CHttpClient::ReceiveAll(std::unique_ptr<char[]>& buffer, std::size_t& length) {
    if (!m_transfer->active())
        throw CNetworkException(Messages::kSyncAvailable);
    std::string data;
    for (;;) {
        if (!m_transfer->waitForData())
            throw CNetworkException(Messages::kSyncAvailable);
        const std::size_t available = m_transfer->available();
        if (available == 0)
            break;
        // An endless body must not take all the memory there is.
        if (available > m_limits.maxReceiveAll - data.size())
            throw CNetworkException(Messages::kSyncRead);
        const std::size_t old = data.size();
        data.resize(old + available);
        if (m_transfer->read(data.data() + old, available) != available)
            throw CNetworkException(Messages::kSyncRead);
    }
    auto result = std::make_unique<char[]>(data.size() + 3);
    if (!data.empty())
        std::memcpy(result.get(), data.data(), data.size());
    std::memset(result.get() + data.size(), 0, 3);
    buffer = std::move(result);
    length = data.size() + 1;
}

void CHttpClient::ReceiveInChunks(IDataReceiver& receiver, std::size_t chunkSize) {
    const auto length = Network::Detail::contentLength(m_transfer->headerValues("Content-Length"));
    if (!m_transfer->active() || !length)
        throw CNetworkException(Messages::kAsyncContentLength);
    const std::uint64_t contentLength = *length;

    std::vector<char> buffer(chunkSize);
    std::uint64_t total = 0;
    for (;;) {
        // Fill the chunk as far as the body goes, so pieces are whole chunks but the last.
        std::size_t count = 0;
        while (count < chunkSize) {
            if (!m_transfer->waitForData())
                throw CNetworkException(Messages::kAsyncRead);
            const std::size_t got = m_transfer->read(buffer.data() + count, chunkSize - count);
            if (got == 0)
                break;
            count += got;
        }
        total += count;
        if (count == 0 || !receiver.OnData(buffer.data(), chunkSize, count, total, contentLength))
            break;
    }
}

} // namespace Cxx::Network::Http::HttpClient
