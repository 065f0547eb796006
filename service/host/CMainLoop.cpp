#include "CMainLoop.h"

#include <cerrno>

namespace MW::Host {

bool CMainLoop::run() {
    m_bQuit = false;
    while (!m_bQuit) {
        std::vector<pollfd> fds;
        int timeout = -1;
        for (const auto& source : m_arrSources) {
            for (const pollfd& fd : source.pollFds())
                fds.push_back(fd);
            const int limit = source.timeoutMs ? source.timeoutMs() : -1;
            if (limit >= 0 && (timeout < 0 || limit < timeout))
                timeout = limit;
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            return false;
        // Every source looks for its own work: dispatching is cheap and never
        // blocks, and a source's descriptors may change between rounds.
        for (const auto& source : m_arrSources) {
            source.dispatch();
            if (m_bQuit)
                break;
        }
    }
    return true;
}

} // namespace MW::Host
