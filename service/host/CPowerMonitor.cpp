#include "CPowerMonitor.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace MW::Host {
namespace {

constexpr const char* kLogin = "org.freedesktop.login1";
constexpr const char* kLoginPath = "/org/freedesktop/login1";
constexpr const char* kLoginManager = "org.freedesktop.login1.Manager";

} // namespace

CPowerMonitor::CPowerMonitor(Handler handler) : m_fnHandler(std::move(handler)) {}

CPowerMonitor::~CPowerMonitor() {
    releaseDelayLock();
    sd_bus_slot_unref(m_pSignalSlot);
    sd_bus_flush_close_unref(m_pBus);
}

std::string CPowerMonitor::open() {
    int r = sd_bus_open_system(&m_pBus);
    if (r < 0) {
        m_pBus = nullptr;
        return std::strerror(-r);
    }
    r = sd_bus_match_signal(m_pBus, &m_pSignalSlot, kLogin, kLoginPath, kLoginManager,
                            "PrepareForSleep", &CPowerMonitor::onPrepareForSleep, this);
    if (r < 0) {
        sd_bus_flush_close_unref(m_pBus);
        m_pBus = nullptr;
        return std::strerror(-r);
    }
    takeDelayLock();
    return {};
}

std::vector<pollfd> CPowerMonitor::pollFds() const {
    if (!m_pBus)
        return {};
    const int events = sd_bus_get_events(m_pBus);
    return {{sd_bus_get_fd(m_pBus), static_cast<short>(events < 0 ? POLLIN : events), 0}};
}

int CPowerMonitor::pollTimeoutMs() const {
    std::uint64_t usec = 0;
    if (!m_pBus || sd_bus_get_timeout(m_pBus, &usec) < 0 || usec == UINT64_MAX)
        return -1;
    // sd-bus gives an absolute CLOCK_MONOTONIC time.
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t nowUsec = static_cast<std::uint64_t>(now.tv_sec) * 1000000u +
                                  static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
    if (usec <= nowUsec)
        return 0;
    const std::uint64_t ms = (usec - nowUsec + 999) / 1000;
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

void CPowerMonitor::dispatch() {
    if (!m_pBus)
        return;
    for (int i = 0; i < 64; ++i) {
        const int r = sd_bus_process(m_pBus, nullptr);
        if (r < 0) {
            // The system bus went away: the service runs on without it.
            m_pSignalSlot = sd_bus_slot_unref(m_pSignalSlot);
            m_bInhibitPending = false;
            sd_bus_flush_close_unref(m_pBus);
            m_pBus = nullptr;
            return;
        }
        if (r == 0)
            return;
    }
}

int CPowerMonitor::onPrepareForSleep(sd_bus_message* message, void* self, sd_bus_error*) {
    auto* monitor = static_cast<CPowerMonitor*>(self);
    int suspending = 0;
    if (sd_bus_message_read(message, "b", &suspending) < 0)
        return 0;
    monitor->m_fnHandler(suspending != 0);
    if (suspending)
        monitor->releaseDelayLock(); // the settings are saved: the machine may sleep
    else
        monitor->takeDelayLock();
    return 0;
}

void CPowerMonitor::takeDelayLock() {
    if (!m_pBus || m_nLockFd >= 0 || m_bInhibitPending)
        return;
    // A floating call: the bus owns it, and it ends with the bus.
    m_bInhibitPending =
        sd_bus_call_method_async(m_pBus, nullptr, kLogin, kLoginPath, kLoginManager, "Inhibit",
                                 &CPowerMonitor::onInhibitReply, this, "ssss", "sleep", "Morrowick",
                                 "Saving the cleaning service's settings", "delay") >= 0;
}

int CPowerMonitor::onInhibitReply(sd_bus_message* message, void* self, sd_bus_error*) {
    auto* monitor = static_cast<CPowerMonitor*>(self);
    monitor->m_bInhibitPending = false;
    int fd = -1;
    // No logind, or it refused: suspend then simply does not wait for the service.
    if (sd_bus_message_is_method_error(message, nullptr) ||
        sd_bus_message_read(message, "h", &fd) < 0)
        return 0;
    monitor->m_nLockFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    return 0;
}

void CPowerMonitor::releaseDelayLock() {
    if (m_nLockFd >= 0) {
        ::close(m_nLockFd);
        m_nLockFd = -1;
    }
}

} // namespace MW::Host
