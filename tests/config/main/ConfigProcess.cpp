#include "ConfigProcess.h"

#include "Spin.h"

namespace MW::Test {

Env configEnv(const ServiceEnvironment& service, const std::string& messageLog, const Env& extra) {
    Env env = service.env();
    env.emplace_back("MW_MESSAGE_LOG", messageLog);
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

bool waitUntilConnected(ServiceEnvironment& service, const std::string& messageLog, int seconds) {
    // The Qt event loop runs meanwhile: the test process may serve calls of
    // mwconfig's (a fake tray host does).
    return spinUntil(
        [&] {
            service.callEngine({"fireEvent", "i", "4"});
            return readFile(messageLog).find("Info\tCMWObserver::test()") != std::string::npos;
        },
        seconds * 1000);
}

int countLines(const std::string& text, const std::string& part) {
    int count = 0;
    for (const auto& line : splitLines(text))
        count += line.find(part) != std::string::npos ? 1 : 0;
    return count;
}

} // namespace MW::Test
