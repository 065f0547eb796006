#pragma once
// A real local HTTPS server configured as the support server in a private settings
// folder, no proxy in the environment unless a test sets one.

#include "NetTestServers.h"
#include "TempDir.h"

#include <QSettings>
#include <QVariant>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>

namespace MW::Test {

class ContactFixture : public ::testing::Test {
protected:
    ContactFixture();
    ~ContactFixture() override;

    // The configurator's settings file as the code under test sees it.
    static QSettings userSettings();
    static QVariant storedDay();
    static void storeDay(const QVariant& value);
    // Points the Support group at `port` on 127.0.0.1, trusting the server's certificate.
    void useSupportServer(std::uint16_t port);
    // Points it at another test server, trusting that one's certificate.
    void useSupportServer(const HttpsTestServer& other);
    // Sets (or with nullptr unsets) an environment variable until the test ends.
    void setEnv(const char* name, const char* value);

    TempDir dir;
    HttpsTestServer server;

private:
    std::map<std::string, std::optional<std::string>> m_savedEnv;
    std::string m_machineFile;
};

} // namespace MW::Test
