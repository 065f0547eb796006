#include "Process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace MW::Test {
namespace {

std::vector<char*> toArgv(const std::vector<std::string>& argv) {
    std::vector<char*> out;
    for (const auto& a : argv)
        out.push_back(const_cast<char*>(a.c_str()));
    out.push_back(nullptr);
    return out;
}

void applyEnv(const Env& env) {
    for (const auto& [name, value] : env)
        ::setenv(name.c_str(), value.c_str(), 1);
}

int decode(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// Waits for pid with a deadline; -1 when it is still running.
int waitFor(int pid, int timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    for (;;) {
        int status = 0;
        const int r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return decode(status);
        if (r < 0 && errno != EINTR)
            return -1;
        if (std::chrono::steady_clock::now() > deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

bool underWine() {
    return false;
}

std::string unixPath(const std::string& path) {
    return path;
}

CommandResult runCommand(const std::vector<std::string>& argv, const Env& env, int timeoutSeconds) {
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        applyEnv(env);
        auto args = toArgv(argv);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    CommandResult result;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (open > 0 && std::chrono::steady_clock::now() < deadline) {
        if (::poll(fds, 2, 100) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& fd : fds)
        if (fd.fd >= 0)
            ::close(fd.fd);
    result.status = waitFor(pid, open > 0 ? 0 : timeoutSeconds);
    if (result.status == -1) {
        ::kill(pid, SIGKILL);
        result.status = waitFor(pid, 5);
    }
    return result;
}

Child::Child(const std::vector<std::string>& argv, const Env& env) {
    m_pid = ::fork();
    if (m_pid == 0) {
        applyEnv(env);
        auto args = toArgv(argv);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
}

Child::~Child() {
    if (m_pid > 0 && m_status == -1) {
        if (signalAndWait(SIGTERM, 5) == -1) {
            ::kill(m_pid, SIGKILL);
            waitFor(m_pid, 5);
        }
    }
}

int Child::signalAndWait(int signal, int timeoutSeconds) {
    if (m_status != -1)
        return m_status;
    ::kill(m_pid, signal);
    return wait(timeoutSeconds);
}

int Child::wait(int timeoutSeconds) {
    if (m_status == -1)
        m_status = waitFor(m_pid, timeoutSeconds);
    return m_status;
}

} // namespace MW::Test
