#pragma once
// The Config object on the bus. One object serves every client: Config objects
// hold no state, so one is as good as a new one per client.

#include "CCallerAuth.h"
#include "CConfig.h"
#include "MorrowickAdaptors.h"

#include <memory>

namespace MW::DBus {

class CConfigAdaptor final : public sdbus::AdaptorInterfaces<org::morrowick::IConfig_adaptor> {
public:
    CConfigAdaptor(sdbus::IConnection& connection, std::unique_ptr<Objects::CConfig> config,
                   CCallerAuth& auth);
    ~CConfigAdaptor();

    // org.freedesktop.DBus.Properties.PropertiesChanged with the present values of
    // the properties whose bits (1 << DispId) are set; nothing for none.
    void emitChanged(std::uint32_t dispIds);

private:
    std::string ScanFolder() override;
    void ScanFolder(const std::string& value) override;
    std::string FileTypes() override;
    void FileTypes(const std::string& value) override;
    std::string OtherFileTypes() override;
    void OtherFileTypes(const std::string& value) override;
    sdbus::Variant StartTime() override;
    void StartTime(const sdbus::Variant& value) override;
    int32_t DeleteAge() override;
    void DeleteAge(const int32_t& value) override;
    std::string LastScan() override;
    void LastScan(const std::string& value) override;
    uint64_t CleanedSpace() override;
    void CleanedSpace(const uint64_t& value) override;
    std::string ContactName() override;
    void ContactName(const std::string& value) override;
    std::string ContactEmail() override;
    void ContactEmail(const std::string& value) override;
    std::string ProxyServer() override;
    void ProxyServer(const std::string& value) override;
    std::string ProxyPort() override;
    void ProxyPort(const std::string& value) override;
    int32_t ProxyUsage() override;
    void ProxyUsage(const int32_t& value) override;
    int32_t ProxySysUsage() override;
    void ProxySysUsage(const int32_t& value) override;
    std::string ProxySysServer() override;
    void ProxySysServer(const std::string& value) override;
    std::string ProxySysBypass() override;
    void ProxySysBypass(const std::string& value) override;
    uint32_t ProxySysAccessType() override;
    void ProxySysAccessType(const uint32_t& value) override;

    // Runs a write after the caller check, with errors mapped for the bus.
    template <typename F> void write(F&& body);
    template <typename F> auto read(F&& body) -> decltype(body());

    std::unique_ptr<Objects::CConfig> m_pConfig;
    CCallerAuth& m_auth;
};

} // namespace MW::DBus
