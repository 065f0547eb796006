#pragma once
// The service's one loop thread: waits on the descriptors of every source (the
// bus, the signals, logind) and lets each handle what arrived.

#include <functional>
#include <poll.h>
#include <vector>

namespace MW::Host {

class CMainLoop {
public:
    struct Source {
        std::function<std::vector<pollfd>()> pollFds;
        std::function<int()> timeoutMs; // -1: no time limit
        std::function<void()> dispatch; // must not block
    };

    void add(Source source) { m_arrSources.push_back(std::move(source)); }
    // Runs until quit(); false when waiting failed.
    bool run();
    // Ends run() after the current round; call on the loop thread.
    void quit() { m_bQuit = true; }

private:
    std::vector<Source> m_arrSources;
    bool m_bQuit = false;
};

} // namespace MW::Host
