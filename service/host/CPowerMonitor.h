#pragma once
// Suspend and resume of the machine, as logind announces them on the system bus
// (PrepareForSleep). A delay inhibitor lock holds the suspend back until the
// service has saved its settings. Without logind the service runs on without it.

#include <functional>
#include <poll.h>
#include <string>
#include <systemd/sd-bus.h>
#include <vector>

namespace MW::Host {

class CPowerMonitor {
public:
    // Called on the loop thread: true before the machine sleeps, false after it woke.
    using Handler = std::function<void(bool suspending)>;

    explicit CPowerMonitor(Handler handler);
    ~CPowerMonitor();
    CPowerMonitor(const CPowerMonitor&) = delete;
    CPowerMonitor& operator=(const CPowerMonitor&) = delete;

    // Connects to the system bus and listens; empty on success, else why not.
    std::string open();
    bool isOpen() const { return m_pBus != nullptr; }

    std::vector<pollfd> pollFds() const;
    int pollTimeoutMs() const;
    // Handles what the bus sent; never blocks.
    void dispatch();

private:
    static int onPrepareForSleep(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onInhibitReply(sd_bus_message* message, void* self, sd_bus_error* error);
    void takeDelayLock();
    void releaseDelayLock();

    Handler m_fnHandler;
    sd_bus* m_pBus = nullptr;
    sd_bus_slot* m_pSignalSlot = nullptr;
    bool m_bInhibitPending = false;
    int m_nLockFd = -1;
};

} // namespace MW::Host
