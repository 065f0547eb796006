#pragma once

#include <string>
#include <utility>
#include <vector>

namespace MW::Test {

using Env = std::vector<std::pair<std::string, std::string>>;

struct CommandResult {
    int status = -1; // exit code, or 128 + signal
    std::string out;
    std::string err;
};

// Runs argv[0] (searched in PATH) with the current environment plus `env`, waits
// at most `timeoutSeconds`, and captures both output streams.
CommandResult runCommand(const std::vector<std::string>& argv, const Env& env = {},
                         int timeoutSeconds = 60);

// `path` as a Linux program sees it: itself on Linux; under Wine the Unix path of a
// Windows one, for the Linux programs a Windows test starts.
std::string unixPath(const std::string& path);

// A Windows test program running under Wine (false on Linux and on Windows itself).
bool underWine();

// A child process left running; killed (SIGTERM, then SIGKILL) on destruction.
class Child {
public:
    Child(const std::vector<std::string>& argv, const Env& env = {});
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    int pid() const { return m_pid; }
    // Sends a signal; returns the exit status after waiting up to timeoutSeconds
    // (-1 when it did not end).
    int signalAndWait(int signal, int timeoutSeconds = 20);
    int wait(int timeoutSeconds = 20);

private:
    int m_pid = -1;
    int m_status = -1;
#ifdef _WIN32
    std::string m_dir; // where unix-child.sh reports (ProcessWindows.cpp)
#endif
};

} // namespace MW::Test
