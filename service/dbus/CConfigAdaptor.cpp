#include "CConfigAdaptor.h"

#include "BusErrors.h"
#include "Contract.h"

#include <iterator>
#include <string>
#include <vector>

namespace MW::DBus {

CConfigAdaptor::CConfigAdaptor(sdbus::IConnection& connection,
                               std::unique_ptr<Objects::CConfig> config, CCallerAuth& auth)
    : AdaptorInterfaces(connection, Bus::kConfigPath), m_pConfig(std::move(config)), m_auth(auth) {
    registerAdaptor();
}

CConfigAdaptor::~CConfigAdaptor() {
    unregisterAdaptor();
}

void CConfigAdaptor::emitChanged(std::uint32_t dispIds) {
    // In DispId order, the order of the contract.
    static const char* const kNames[] = {
        nullptr,          "ScanFolder",        "FileTypes",    "OtherFileTypes", "StartTime",
        "DeleteAge",      "LastScan",          "CleanedSpace", "ContactName",    "ContactEmail",
        "ProxyServer",    "ProxyPort",         "ProxyUsage",   "ProxySysUsage",  "ProxySysServer",
        "ProxySysBypass", "ProxySysAccessType"};
    static_assert(std::size(kNames) == DispId::ProxySysAccessType + 1);
    std::vector<std::string> names;
    for (int dispId = DispId::ScanFolder; dispId <= DispId::ProxySysAccessType; ++dispId)
        if ((dispIds & (1u << dispId)) != 0)
            names.emplace_back(kNames[dispId]);
    // sd-bus reads each value through the property's getter as it builds the signal.
    if (!names.empty())
        getObject().emitPropertiesChangedSignal(INTERFACE_NAME, names);
}

template <typename F> void CConfigAdaptor::write(F&& body) {
    guarded([&] {
        // sdbus-c++ passes a Set's caller only through the message being processed.
        m_auth.requireWriter(getObject().getCurrentlyProcessedMessage());
        body(*m_pConfig);
    });
}

template <typename F> auto CConfigAdaptor::read(F&& body) -> decltype(body()) {
    return guarded(std::forward<F>(body));
}

// clang-format off
std::string CConfigAdaptor::ScanFolder() { return read([&] { return m_pConfig->getScanFolder(); }); }
void CConfigAdaptor::ScanFolder(const std::string& v) { write([&](Objects::CConfig& c) { c.setScanFolder(v); }); }
std::string CConfigAdaptor::FileTypes() { return read([&] { return m_pConfig->getFileTypes(); }); }
void CConfigAdaptor::FileTypes(const std::string& v) { write([&](Objects::CConfig& c) { c.setFileTypes(v); }); }
std::string CConfigAdaptor::OtherFileTypes() { return read([&] { return m_pConfig->getOtherFileTypes(); }); }
void CConfigAdaptor::OtherFileTypes(const std::string& v) { write([&](Objects::CConfig& c) { c.setOtherFileTypes(v); }); }
int32_t CConfigAdaptor::DeleteAge() { return read([&] { return m_pConfig->getDeleteAge(); }); }
void CConfigAdaptor::DeleteAge(const int32_t& v) { write([&](Objects::CConfig& c) { c.setDeleteAge(v); }); }
std::string CConfigAdaptor::LastScan() { return read([&] { return m_pConfig->getLastScan(); }); }
void CConfigAdaptor::LastScan(const std::string& v) { write([&](Objects::CConfig& c) { c.setLastScan(v); }); }
uint64_t CConfigAdaptor::CleanedSpace() { return read([&] { return m_pConfig->getCleanedSpace(); }); }
void CConfigAdaptor::CleanedSpace(const uint64_t& v) { write([&](Objects::CConfig& c) { c.setCleanedSpace(v); }); }
std::string CConfigAdaptor::ContactName() { return read([&] { return m_pConfig->getContactName(); }); }
void CConfigAdaptor::ContactName(const std::string& v) { write([&](Objects::CConfig& c) { c.setContactName(v); }); }
std::string CConfigAdaptor::ContactEmail() { return read([&] { return m_pConfig->getContactEmail(); }); }
void CConfigAdaptor::ContactEmail(const std::string& v) { write([&](Objects::CConfig& c) { c.setContactEmail(v); }); }
std::string CConfigAdaptor::ProxyServer() { return read([&] { return m_pConfig->getProxyServer(); }); }
void CConfigAdaptor::ProxyServer(const std::string& v) { write([&](Objects::CConfig& c) { c.setProxyServer(v); }); }
std::string CConfigAdaptor::ProxyPort() { return read([&] { return m_pConfig->getProxyPort(); }); }
void CConfigAdaptor::ProxyPort(const std::string& v) { write([&](Objects::CConfig& c) { c.setProxyPort(v); }); }
int32_t CConfigAdaptor::ProxyUsage() { return read([&] { return m_pConfig->getProxyUsage(); }); }
void CConfigAdaptor::ProxyUsage(const int32_t& v) { write([&](Objects::CConfig& c) { c.setProxyUsage(v); }); }
int32_t CConfigAdaptor::ProxySysUsage() { return read([&] { return m_pConfig->getProxySysUsage(); }); }
void CConfigAdaptor::ProxySysUsage(const int32_t& v) { write([&](Objects::CConfig& c) { c.setProxySysUsage(v); }); }
std::string CConfigAdaptor::ProxySysServer() { return read([&] { return m_pConfig->getProxySysServer(); }); }
void CConfigAdaptor::ProxySysServer(const std::string& v) { write([&](Objects::CConfig& c) { c.setProxySysServer(v); }); }
std::string CConfigAdaptor::ProxySysBypass() { return read([&] { return m_pConfig->getProxySysBypass(); }); }
void CConfigAdaptor::ProxySysBypass(const std::string& v) { write([&](Objects::CConfig& c) { c.setProxySysBypass(v); }); }
uint32_t CConfigAdaptor::ProxySysAccessType() { return read([&] { return m_pConfig->getProxySysAccessType(); }); }
void CConfigAdaptor::ProxySysAccessType(const uint32_t& v) { write([&](Objects::CConfig& c) { c.setProxySysAccessType(v); }); }
// clang-format on

sdbus::Variant CConfigAdaptor::StartTime() {
    return read([&] { return sdbus::Variant(m_pConfig->getStartTime()); });
}

void CConfigAdaptor::StartTime(const sdbus::Variant& value) {
    write([&](Objects::CConfig& c) {
        // What the variant holds decides: a date, a date text, or a refusal.
        Objects::StartTimeValue arg = Objects::OtherValue{value.peekValueType()};
        if (value.containsValueOfType<double>())
            arg = value.get<double>();
        else if (value.containsValueOfType<std::string>())
            arg = value.get<std::string>();
        c.setStartTime(arg);
    });
}

} // namespace MW::DBus
