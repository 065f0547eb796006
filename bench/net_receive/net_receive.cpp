// Memory of reading a large HTTPS body: ReceiveInChunks against ReceiveAll.
// Usage: net_receive [BYTES [CHUNK]]  (defaults 52428800 and 65536). Each way runs in a
// child process of its own, so each peak RSS belongs to that way alone.

#include "CHttpsClient.h"
#include "NetTestServers.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace Cxx::Network::Http::HttpClient;

long kilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::char_traits<char>::length(field));
    return -1;
}

class Counter : public IDataReceiver {
public:
    bool OnData(const char*, std::size_t, std::size_t bytesRead, std::uint64_t,
                std::uint64_t) override {
        received += bytesRead;
        return true;
    }
    std::uint64_t received = 0;
};

int run(bool chunks, std::uint16_t port, const std::string& caFile, std::size_t bytes,
        std::size_t chunk) {
    MW::Common::CTlsOptions tls;
    tls.caFile = caFile;
    const long before = kilobytes("VmHWM:");
    const auto start = std::chrono::steady_clock::now();
    MW::Common::CHttpsClient client(u"Morrowick", u"127.0.0.1", u"GET", u"", 0, port, true, tls);
    const std::string path = "/bytes/" + std::to_string(bytes);
    client.SendRequest(std::u16string(path.begin(), path.end()), nullptr, u"");
    std::uint64_t received = 0;
    if (chunks) {
        Counter counter;
        client.ReceiveInChunks(counter, chunk);
        received = counter.received;
    } else {
        std::unique_ptr<char[]> buffer;
        std::size_t length = 0;
        client.ReceiveAll(buffer, length);
        received = length - 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-16s %10llu bytes  %6.2f s  %7.1f MB/s  peak RSS %6ld kB (%+ld kB)\n",
                chunks ? "ReceiveInChunks" : "ReceiveAll",
                static_cast<unsigned long long>(received), seconds,
                static_cast<double>(received) / seconds / 1e6, kilobytes("VmHWM:"),
                kilobytes("VmHWM:") - before);
    std::fflush(stdout);
    return received == bytes ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t bytes = argc > 1 ? std::stoull(argv[1]) : 50u * 1024 * 1024;
    const std::size_t chunk = argc > 2 ? std::stoull(argv[2]) : 64 * 1024;
    MW::Test::HttpsTestServer server;
    std::printf("body %zu bytes, chunk %zu bytes\n", bytes, chunk);
    int failures = 0;
    for (const bool chunks : {true, false}) {
        std::fflush(stdout);
        const pid_t pid = ::fork();
        if (pid == 0)
            ::_exit(run(chunks, server.port(), server.caFile(), bytes, chunk));
        int status = 0;
        ::waitpid(pid, &status, 0);
        failures += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    return failures;
}
