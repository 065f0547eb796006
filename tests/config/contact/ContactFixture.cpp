#include "ContactFixture.h"

#include "SystemProxy.h"

#include <cstdlib>

namespace MW::Test {

namespace {
const char* const kProxyVariables[] = {"https_proxy", "HTTPS_PROXY", "all_proxy",
                                       "ALL_PROXY",   "no_proxy",    "NO_PROXY"};
} // namespace

ContactFixture::ContactFixture() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir / "config"));
    // Nothing left from an earlier test of the same process (the path is per process).
    userSettings().clear();
    for (const char* name : kProxyVariables)
        setEnv(name, nullptr);
    m_machineFile = Cxx::Network::Http::HttpClient::MachineEnvironmentFile();
    writeFile(dir / "environment", "");
    Cxx::Network::Http::HttpClient::SetMachineEnvironmentFile(dir / "environment");
    useSupportServer(server.port());
}

ContactFixture::~ContactFixture() {
    for (const auto& [name, value] : m_savedEnv) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    Cxx::Network::Http::HttpClient::SetMachineEnvironmentFile(m_machineFile);
}

QSettings ContactFixture::userSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Morrowick"));
}

QVariant ContactFixture::storedDay() {
    return userSettings().value(QStringLiteral("sent"));
}

void ContactFixture::storeDay(const QVariant& value) {
    QSettings settings = userSettings();
    settings.setValue(QStringLiteral("sent"), value);
}

void ContactFixture::useSupportServer(std::uint16_t port) {
    QSettings settings = userSettings();
    settings.setValue(QStringLiteral("Support/Host"), QStringLiteral("127.0.0.1"));
    settings.setValue(QStringLiteral("Support/Port"), port);
    settings.setValue(QStringLiteral("Support/CaFile"), QString::fromStdString(server.caFile()));
}

void ContactFixture::useSupportServer(const HttpsTestServer& other) {
    useSupportServer(other.port());
    userSettings().setValue(QStringLiteral("Support/CaFile"), QString::fromStdString(other.caFile()));
}

void ContactFixture::setEnv(const char* name, const char* value) {
    if (m_savedEnv.find(name) == m_savedEnv.end()) {
        const char* old = std::getenv(name);
        m_savedEnv[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

} // namespace MW::Test
