#pragma once
// Shared pieces of the HTTP client's tests.

#include "CHttpsClient.h"
#include "SystemProxy.h"
#include "TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>

namespace MW::Test {

inline std::u16string u16(const std::string& ascii) {
    return {ascii.begin(), ascii.end()};
}

// The message of the CNetworkException `action` throws; "no exception" otherwise.
template <typename Action> std::string failureOf(Action action) {
    try {
        action();
    } catch (const Cxx::Network::Exception::CNetworkException& e) {
        EXPECT_EQ(e.GetErrorCode(), 7);
        return e.what();
    }
    return "no exception";
}

class CountingProvider : public Cxx::Network::Http::HttpClient::ICredentialsProvider {
public:
    CountingProvider(std::u16string user, std::u16string password)
        : m_user(std::move(user)), m_password(std::move(password)) {}
    void GetCredentials(std::u16string& user, std::u16string& password) override {
        ++calls;
        user = m_user;
        password = m_password;
    }
    int calls = 0;

private:
    std::u16string m_user;
    std::u16string m_password;
};

// Every test starts without proxy variables and without a machine proxy file, so
// the machine's own configuration cannot change the outcome; both come back after.
// (On Windows the system proxy lives in the test prefix's registry, which sets none.)
class NetTest : public ::testing::Test {
protected:
#ifndef _WIN32
    void SetUp() override {
        for (const char* name : {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy",
                                 "NO_PROXY", "http_proxy", "HTTP_PROXY"}) {
            const char* value = std::getenv(name);
            m_saved[name] = value ? std::optional<std::string>(value) : std::nullopt;
            ::unsetenv(name);
        }
        m_savedFile = Cxx::Network::Http::HttpClient::MachineEnvironmentFile();
        Cxx::Network::Http::HttpClient::SetMachineEnvironmentFile(m_tmp / "no-such-environment");
    }
    void TearDown() override {
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        Cxx::Network::Http::HttpClient::SetMachineEnvironmentFile(m_savedFile);
    }
#endif

    // A client for the local server: direct, trusting the server's certificate.
    static std::unique_ptr<MW::Common::CHttpsClient>
    clientFor(std::uint16_t port, const std::string& caFile, const std::string& method = "POST",
              const std::string& host = "127.0.0.1") {
        MW::Common::CTlsOptions tls;
        tls.caFile = caFile;
        return std::make_unique<MW::Common::CHttpsClient>(u"Morrowick", u16(host), u16(method), u"",
                                                          0, port, true, tls);
    }

    TempDir m_tmp;

#ifndef _WIN32
private:
    std::map<std::string, std::optional<std::string>> m_saved;
    std::string m_savedFile;
#endif
};

} // namespace MW::Test
