#include "CSignalWatch.h"

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace MW::Host {

CSignalWatch::~CSignalWatch() {
    if (m_nFd >= 0)
        ::close(m_nFd);
}

bool CSignalWatch::install() {
    // A client that goes away must not end the service through a broken pipe.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1})
        sigaddset(&set, signal);
    if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0)
        return false;
    m_nFd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    return m_nFd >= 0;
}

void CSignalWatch::dispatch(const std::function<void(ESignalRequest)>& handler) {
    signalfd_siginfo info{};
    while (m_nFd >= 0 && ::read(m_nFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        const auto signal = static_cast<int>(info.ssi_signo);
        handler(signal == SIGTERM || signal == SIGINT ? ESignalRequest::eSR_Stop
                                                      : ESignalRequest::eSR_Unsupported);
    }
}

} // namespace MW::Host
