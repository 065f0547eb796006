#pragma once
// The signals the service answers, read from a descriptor on the loop thread
// instead of in a handler: SIGTERM and SIGINT stop it, SIGHUP and SIGUSR1 are
// requests it does not support.

#include <functional>
#include <poll.h>

namespace MW::Host {

enum class ESignalRequest { eSR_Stop, eSR_Unsupported };

class CSignalWatch {
public:
    CSignalWatch() = default;
    ~CSignalWatch();
    CSignalWatch(const CSignalWatch&) = delete;
    CSignalWatch& operator=(const CSignalWatch&) = delete;

    // Blocks the signals for the process's threads (call before any other thread
    // starts) and opens the descriptor. False when that fails.
    bool install();
    pollfd pollFd() const { return {m_nFd, POLLIN, 0}; }
    // Hands every pending signal to `handler`; never blocks.
    void dispatch(const std::function<void(ESignalRequest)>& handler);

private:
    int m_nFd = -1;
};

} // namespace MW::Host
