#include "BusHarness.h"

#include <future>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace MW::Test {

CServerLoop::CServerLoop(const std::string& address, Objects::CMorrowick& engine,
                         DBus::AuthOptions auth, IPreviewer* previewer)
    : m_fdStop(::eventfd(0, EFD_CLOEXEC)) {
    std::promise<void> ready;
    auto started = ready.get_future();
    m_thread = std::thread([this, address, &engine, auth, previewer, &ready] {
        std::unique_ptr<sdbus::IConnection> connection;
        std::unique_ptr<DBus::CBusServer> server;
        try {
            connection = sdbus::createSessionBusConnectionWithAddress(address);
            server = std::make_unique<DBus::CBusServer>(*connection, engine, auth, previewer);
            server->requestName();
            ready.set_value();
        } catch (...) {
            ready.set_exception(std::current_exception());
            return;
        }
        for (;;) {
            auto fds = server->pollFds();
            fds.push_back(pollfd{m_fdStop, POLLIN, 0});
            ::poll(fds.data(), fds.size(), server->pollTimeoutMs());
            if (fds.back().revents & POLLIN)
                break;
            server->dispatch();
        }
    });
    started.get();
}

CServerLoop::~CServerLoop() {
    const std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(m_fdStop, &one, sizeof one);
    if (m_thread.joinable())
        m_thread.join();
    ::close(m_fdStop);
}

CSignalRecorder::CSignalRecorder(const std::string& address)
    : m_pConnection(sdbus::createSessionBusConnectionWithAddress(address)),
      m_pProxy(sdbus::createProxy(*m_pConnection, kService, kEngine)) {
    const std::string events = "org.morrowick.IMorrowickEvents";
    for (const std::string member : {"scanStarted", "scanFinished", "test"})
        m_pProxy->registerSignalHandler(events, member, [this, member](sdbus::Signal& signal) {
            add(signal.isEmpty() ? member : "bad:" + member);
        });
    m_pProxy->registerSignalHandler(events, "updateCleanedSpace", [this](sdbus::Signal& signal) {
        std::string type, contents;
        signal.peekType(type, contents);
        if (type != "t")
            return add("bad:updateCleanedSpace");
        std::uint64_t total = 0;
        signal >> total;
        // Exactly one argument: past it, sdbus-c++ reports the type as a NUL.
        signal.peekType(type, contents);
        const bool atEnd = type.find_first_not_of('\0') == std::string::npos;
        add(atEnd ? "updateCleanedSpace:" + std::to_string(total) : "bad:updateCleanedSpace");
    });
    m_pProxy->finishRegistration();
    m_pConnection->enterEventLoopAsync();
}

CSignalRecorder::~CSignalRecorder() {
    m_pProxy.reset();
    m_pConnection->leaveEventLoop();
}

std::vector<std::string> CSignalRecorder::signals() const {
    std::lock_guard lock(m_mutex);
    return m_signals;
}

void CSignalRecorder::add(std::string text) {
    std::lock_guard lock(m_mutex);
    m_signals.push_back(std::move(text));
}

CommandResult busctl(const TestBus& bus, const std::vector<std::string>& args,
                     const std::vector<std::string>& prefix) {
    std::vector<std::string> argv = prefix;
    // "--": values that start with a dash are values, not options.
    argv.insert(argv.end(), {"busctl", "--address=" + bus.address(), "--"});
    argv.insert(argv.end(), args.begin(), args.end());
    return runCommand(argv);
}

} // namespace MW::Test
