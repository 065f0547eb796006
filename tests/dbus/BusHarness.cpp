#include "BusHarness.h"

#include "CSettings.h"

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
            // As the service does: every change of the settings reaches the clients.
            CSettings::getInstance()->subscribePropertyChanges(&server->propertyObserver());
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
        CSettings::getInstance()->unsubscribePropertyChanges(&server->propertyObserver());
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

CSignalRecorder::CSignalRecorder(const std::string& address, bool properties)
    : m_pConnection(sdbus::createSessionBusConnectionWithAddress(address)),
      m_pProxy(sdbus::createProxy(*m_pConnection, kService, kEngine)),
      m_pConfigProxy(sdbus::createProxy(*m_pConnection, kService, kConfig)) {
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
    if (properties)
        m_pConfigProxy->registerSignalHandler(
            "org.freedesktop.DBus.Properties", "PropertiesChanged", [this](sdbus::Signal& signal) {
                // Read in place, so the properties keep the order the signal lists them in.
                std::string iface;
                signal >> iface;
                std::string text = "changed:";
                std::size_t count = 0;
                if (signal.enterContainer("{sv}")) {
                    while (signal.enterDictEntry("sv")) {
                        std::string name;
                        sdbus::Variant value;
                        signal >> name >> value;
                        signal.exitDictEntry();
                        text += (count++ ? " " : "") + name + "=" + variantText(value);
                    }
                    signal.clearFlags();
                    signal.exitContainer();
                }
                std::vector<std::string> invalidated;
                signal >> invalidated;
                if (iface != kIConfig || !invalidated.empty() || count == 0)
                    text = "bad:" + text;
                add(text);
            });
    m_pConfigProxy->finishRegistration();
    m_pConnection->enterEventLoopAsync();
}

std::string variantText(const sdbus::Variant& value) {
    const std::string type = value.peekValueType();
    if (type == "s")
        return value.get<std::string>();
    if (type == "t")
        return std::to_string(value.get<std::uint64_t>());
    if (type == "i")
        return std::to_string(value.get<std::int32_t>());
    if (type == "u")
        return std::to_string(value.get<std::uint32_t>());
    if (type == "d")
        return std::to_string(value.get<double>());
    if (type == "v")
        return "<" + variantText(value.get<sdbus::Variant>()) + ">";
    return "?" + type;
}

CSignalRecorder::~CSignalRecorder() {
    m_pConfigProxy.reset();
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
