#pragma once
// Puts the engine and its Config object on a D-Bus connection, with the access
// check beside them. All bus traffic
// happens on the thread that calls dispatch(); events fired on other threads are
// queued and emitted there, because sdbus-c++ 1.2 connections are not safe to
// use from two threads at once.

#include "Access.h"

#include <memory>
#include <poll.h>
#include <string>
#include <vector>

namespace sdbus {
class IConnection;
}

namespace MW::Objects {
class CMorrowick;
}

namespace MW {
class IPreviewer;
}

namespace MW::Common {
class IObserver;
}

namespace MW::DBus {

struct AuthOptions {
    bool enabled = false; // on for the system bus, off for a per-user service
    std::string group = Bus::kDefaultChangeGroup; // members (and uid 0) may change things
};

class CBusServer {
public:
    // With a previewer, the engine object also offers org.morrowick.Preview; the
    // previewer must outlive the server.
    CBusServer(sdbus::IConnection& connection, Objects::CMorrowick& engine, AuthOptions auth,
               IPreviewer* previewer = nullptr);
    ~CBusServer(); // unregisters the objects and disconnects the sink
    CBusServer(const CBusServer&) = delete;
    CBusServer& operator=(const CBusServer&) = delete;

    // Takes org.morrowick.Service; throws sdbus::Error on failure.
    void requestName();

    // Everything the owning thread must poll: the bus fd(s) and the internal wake eventfd.
    std::vector<pollfd> pollFds() const;
    int pollTimeoutMs() const;

    // Processes pending bus requests and emits queued events, on the calling
    // (loop) thread; never blocks. Throws when the connection itself has failed,
    // and on the rare failure of a single request.
    void dispatch();
    // Whether the connection still reaches the bus daemon (a round trip to it);
    // tells a lost bus from a failure that the loop can carry on after.
    bool connectionAlive();

    // Turns the settings record's property changes into PropertiesChanged on
    // /org/morrowick/Config, sent from the loop thread before the events fired
    // after them. Subscribe it with CSettings::subscribePropertyChanges, and
    // unsubscribe it before the server goes while the record stays.
    Common::IObserver& propertyObserver();

private:
    class CImpl;
    std::unique_ptr<CImpl> m_pImpl;
};

} // namespace MW::DBus
