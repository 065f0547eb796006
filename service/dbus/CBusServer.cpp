#include "CBusServer.h"

#include "CAccessAdaptor.h"
#include "CCallerAuth.h"
#include "CConfigAdaptor.h"
#include "CEngineAdaptor.h"
#include "CEventRelay.h"
#include "CLog.h"
#include "CMorrowick.h"
#include "CPreviewAdaptor.h"
#include "Contract.h"

#include <chrono>
#include <sdbus-c++/sdbus-c++.h>

namespace MW::DBus {

namespace {
// Bounds the work of one dispatch() so the loop gets back to its other duties
// (signals, the stop request) even under a flood of requests or events.
constexpr int kMaxRequestsPerDispatch = 256;
constexpr std::size_t kMaxEventsPerDispatch = 256;
} // namespace

class CBusServer::CImpl {
public:
    CImpl(sdbus::IConnection& connection, Objects::CMorrowick& engine, AuthOptions auth,
          IPreviewer* previewer)
        : m_connection(connection), m_engine(engine), m_auth(connection, std::move(auth)),
          m_engineAdaptor(connection, engine, m_auth),
          m_configAdaptor(connection, engine.getConfig(), m_auth),
          m_accessAdaptor(connection, m_auth), m_pRelay(std::make_shared<CEventRelay>()),
          m_nCookie(engine.advise(m_pRelay)) {
        if (previewer)
            m_pPreviewAdaptor = std::make_unique<CPreviewAdaptor>(connection, *previewer, m_auth);
    }

    ~CImpl() {
        try {
            m_engine.unadvise(m_nCookie);
        } catch (const std::exception& e) {
            logWrite(std::string("CBusServer::~CBusServer(): ") + e.what());
        }
        // An event fired right now may still reach the relay; it outlives us
        // through the engine's reference and is simply never drained.
    }

    void requestName() { m_connection.requestName(Bus::kServiceName); }

    std::vector<pollfd> pollFds() const {
        const auto bus = m_connection.getEventLoopPollData();
        std::vector<pollfd> fds{pollfd{bus.fd, bus.events, 0},
                                pollfd{m_pRelay->wakeFd(), POLLIN, 0}};
        if (m_pPreviewAdaptor)
            fds.push_back(pollfd{m_pPreviewAdaptor->wakeFd(), POLLIN, 0});
        return fds;
    }

    int pollTimeoutMs() const {
        const auto bus = m_connection.getEventLoopPollData();
        if (m_bRequestBacklog || (m_pRelay->pending() && !writeBacklog(bus)))
            return 0;
        return bus.getPollTimeout();
    }

    void dispatch() {
        m_bRequestBacklog = true;
        for (int i = 0; i < kMaxRequestsPerDispatch; ++i) {
            if (!m_connection.processPendingRequest()) {
                m_bRequestBacklog = false;
                break;
            }
        }
        // While earlier messages still wait to be written, the relay keeps the
        // events (only its wake-up is reset); the poll wakes us when the socket
        // takes more.
        if (m_pPreviewAdaptor)
            m_pPreviewAdaptor->deliver();
        const bool blocked = writeBacklog(m_connection.getEventLoopPollData());
        const CEventRelay::Batch batch = m_pRelay->take(blocked ? 0 : kMaxEventsPerDispatch);
        try {
            m_configAdaptor.emitChanged(batch.changedProperties);
        } catch (const sdbus::Error& e) {
            logWrite("CBusServer::dispatch(): " + e.getMessage());
        }
        for (const auto& event : batch.events) {
            try {
                m_engineAdaptor.emit(event);
            } catch (const sdbus::Error& e) {
                logWrite("CBusServer::dispatch(): " + e.getMessage());
            }
        }
    }

    Common::IObserver& propertyObserver() { return *m_pRelay; }

    bool connectionAlive() {
        try {
            std::string id;
            sdbus::createProxy(m_connection, "org.freedesktop.DBus", "/org/freedesktop/DBus")
                ->callMethod("GetId")
                .onInterface("org.freedesktop.DBus")
                .withTimeout(std::chrono::seconds(5))
                .storeResultsTo(id);
            return true;
        } catch (const sdbus::Error&) {
            return false;
        }
    }

private:
    static bool writeBacklog(const sdbus::IConnection::PollData& bus) {
        return (bus.events & POLLOUT) != 0;
    }

    sdbus::IConnection& m_connection;
    Objects::CMorrowick& m_engine;
    CCallerAuth m_auth;
    CEngineAdaptor m_engineAdaptor;
    CConfigAdaptor m_configAdaptor;
    CAccessAdaptor m_accessAdaptor;
    std::shared_ptr<CEventRelay> m_pRelay;
    std::uint32_t m_nCookie = 0;
    std::unique_ptr<CPreviewAdaptor> m_pPreviewAdaptor;
    bool m_bRequestBacklog = false;
};

CBusServer::CBusServer(sdbus::IConnection& connection, Objects::CMorrowick& engine,
                       AuthOptions auth, IPreviewer* previewer)
    : m_pImpl(std::make_unique<CImpl>(connection, engine, std::move(auth), previewer)) {}

CBusServer::~CBusServer() = default;

void CBusServer::requestName() {
    m_pImpl->requestName();
}
std::vector<pollfd> CBusServer::pollFds() const {
    return m_pImpl->pollFds();
}
int CBusServer::pollTimeoutMs() const {
    return m_pImpl->pollTimeoutMs();
}
void CBusServer::dispatch() {
    m_pImpl->dispatch();
}
bool CBusServer::connectionAlive() {
    return m_pImpl->connectionAlive();
}
Common::IObserver& CBusServer::propertyObserver() {
    return m_pImpl->propertyObserver();
}

} // namespace MW::DBus
