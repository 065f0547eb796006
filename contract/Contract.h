#pragma once
// The service contract shared by mwservice and its clients: enumerations,
// dispatch ids, identifiers and bus names. The bus side of the contract is
// org.morrowick.xml beside this file; the two must agree.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace MW {

enum EFireEvent : std::int32_t {
    eFE_None = 0,
    eFE_ScanStarted = 1,
    eFE_ScanFinished = 2,
    eFE_UpdateCleanedSpace = 3,
    eFE_Test = 4,
};

enum EActivityState : std::int32_t {
    eAS_Idle = 0,
    eAS_Busy = 1,
};

enum EDeleteAge : std::int32_t {
    eDA_Day = 0,
    eDA_Week = 1,
    eDA_Month = 2,
    eDA_3Month = 3,
    eDA_6Month = 4,
    eDA_Year = 5,
    eDA_None = -1,
};

namespace DispId {
// IMorrowick
inline constexpr int Config = 1;
inline constexpr int fireEvent = 2;
inline constexpr int scanNow = 3;
inline constexpr int UndeletedLog = 4;
inline constexpr int UndeletedCount = 5;
inline constexpr int ActivityState = 11;
// IConfig
inline constexpr int ScanFolder = 1;
inline constexpr int FileTypes = 2;
inline constexpr int OtherFileTypes = 3;
inline constexpr int StartTime = 4;
inline constexpr int DeleteAge = 5;
inline constexpr int LastScan = 6;
inline constexpr int CleanedSpace = 7;
inline constexpr int ContactName = 8;
inline constexpr int ContactEmail = 9;
inline constexpr int ProxyServer = 10;
inline constexpr int ProxyPort = 11;
inline constexpr int ProxyUsage = 12;
inline constexpr int ProxySysUsage = 13;
inline constexpr int ProxySysServer = 14;
inline constexpr int ProxySysBypass = 15;
inline constexpr int ProxySysAccessType = 16;
// IMorrowickEvents
inline constexpr int scanStarted = 1;
inline constexpr int scanFinished = 2;
inline constexpr int updateCleanedSpace = 3;
inline constexpr int test = 4;
} // namespace DispId

// Identifiers of the type library; kept for the Windows build and for tools that
// map between the two platforms.
inline constexpr const char* LIBID_mwserviceLib = "{4D8E2F16-A9C3-4B70-8E51-B3F6A0D2C97E}";
inline constexpr const char* IID_IMorrowick = "{71D0A3C5-E84F-4B26-8A19-C4E5F3B6D702}";
inline constexpr const char* IID_IConfig = "{E0C58B4A-2F71-4D93-B6A8-95D1C7E3F048}";
inline constexpr const char* IID_IMorrowickEvents = "{B2E6D4F0-1A73-4C5E-9D82-6F3A0C7E5B21}";
inline constexpr const char* CLSID_Morrowick = "{3C7F1A88-D245-4E9B-A06C-51B8E27F4D19}";
inline constexpr const char* CLSID_Config = "{9E4B2D71-6C08-4A35-B1F7-2D8C5E0A93B4}";
inline constexpr const char* APPID_Morrowick = "{5A1C7E02-3B9D-4F61-8E2A-7C0D94B1E6F3}";
inline constexpr int kLibVersionMajor = 1;
inline constexpr int kLibVersionMinor = 0;

namespace Bus {
inline constexpr const char* kServiceName = "org.morrowick.Service";
inline constexpr const char* kEnginePath = "/org/morrowick/Morrowick";
inline constexpr const char* kConfigPath = "/org/morrowick/Config";
inline constexpr const char* kEngineInterface = "org.morrowick.IMorrowick";
inline constexpr const char* kConfigInterface = "org.morrowick.IConfig";
inline constexpr const char* kEventsInterface = "org.morrowick.IMorrowickEvents";

// Error names replied by the service. Clients map them back to CContractError.
inline constexpr const char* kErrorTypeMismatch = "org.morrowick.Error.TypeMismatch";
inline constexpr const char* kErrorFailed = "org.morrowick.Error.Failed";
inline constexpr const char* kErrorAccessDenied = "org.freedesktop.DBus.Error.AccessDenied";
inline constexpr const char* kErrorInvalidArgs = "org.freedesktop.DBus.Error.InvalidArgs";
} // namespace Bus

// A failure of a contract call: the counterpart of a failed HRESULT. `name` is the
// bus error name (for example Bus::kErrorTypeMismatch).
class CContractError : public std::runtime_error {
public:
    CContractError(std::string name, const std::string& message)
        : std::runtime_error(message), m_strName(std::move(name)) {}
    const std::string& name() const noexcept { return m_strName; }

private:
    std::string m_strName;
};

// How the cleaner broadcasts its events without knowing about the bus: the engine
// object implements it. fireEvent may throw CContractError (a contract failure)
// or anything else; the cleaner logs either and goes on.
class IMWEventDispatcher {
public:
    virtual ~IMWEventDispatcher() = default;
    virtual void fireEvent(EFireEvent event) = 0;
};

} // namespace MW
