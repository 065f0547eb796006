#pragma once

#include "CNotifier.h"
#include "CSingleton.h"
#include "Contract.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <system_error>

namespace MW {

// Notification codes sent by CSettings.
enum ESettingsEvent : std::int32_t {
    eSE_StartTimeChanged = 1,
    eSE_ScanNow = 2,
    // A Config property's value changed, whoever changed it: the code is this plus
    // the property's DispId (DispId::ScanFolder ... DispId::ProxySysAccessType).
    eSE_PropertyChanged = 100,
};

enum class EDateStatus : std::int32_t { valid = 0, invalid = 1, null = 2 };

// The service's one record of settings and running totals. Strings are UTF-8.
// Every accessor touches one field under the record's lock, so the bus thread,
// the cleaner thread and the service thread may use it at once; observers are
// always called outside that lock, on the thread that made the change. A setter
// of a persisted field that changes its value notifies eSE_PropertyChanged + the
// property's DispId; storing the value it already holds notifies nothing.
class CSettings : public Common::CSingleton<CSettings>, public Common::CNotifier {
public:
    CSettings(const CSettings&) = delete;
    CSettings& operator=(const CSettings&) = delete;
    ~CSettings() override = default;

    // Persisted fields, in the order of the settings file.
    std::string getScanFolder() const { return get(m_strScanFolder); }
    void setScanFolder(const std::string& v) { change(m_strScanFolder, v, DispId::ScanFolder); }
    std::string getFileTypes() const { return get(m_strFileTypes); }
    void setFileTypes(const std::string& v) { change(m_strFileTypes, v, DispId::FileTypes); }
    std::string getOtherFileTypes() const { return get(m_strOtherFileTypes); }
    void setOtherFileTypes(const std::string& v) {
        change(m_strOtherFileTypes, v, DispId::OtherFileTypes);
    }
    double getStartTime() const { return get(m_dtStartTime); }
    EDateStatus getStartTimeStatus() const { return get(m_eStartTimeStatus); }
    // Stores a different start time and notifies eSE_StartTimeChanged; an equal
    // one changes nothing.
    void setStartTime(double oleDate);
    // Stores the start time without eSE_StartTimeChanged (the cleaner's next due
    // time); a change of the property is still told.
    void storeStartTime(double oleDate);
    std::int32_t getDeleteAge() const { return get(m_nDeleteAge); }
    void setDeleteAge(std::int32_t v) { change(m_nDeleteAge, v, DispId::DeleteAge); }
    std::string getLastScan() const { return get(m_strLastScan); }
    void setLastScan(const std::string& v) { change(m_strLastScan, v, DispId::LastScan); }
    std::uint64_t getCleanedSpace() const { return get(m_nCleanedSpace); }
    void setCleanedSpace(std::uint64_t v) { change(m_nCleanedSpace, v, DispId::CleanedSpace); }
    // Adds with 64-bit wrap-around and returns the new total; notifies as a change
    // of CleanedSpace (not at all for 0 bytes).
    std::uint64_t addCleanedSpace(std::uint64_t bytes);
    std::string getContactName() const { return get(m_strContactName); }
    void setContactName(const std::string& v) { change(m_strContactName, v, DispId::ContactName); }
    std::string getContactEmail() const { return get(m_strContactEmail); }
    void setContactEmail(const std::string& v) {
        change(m_strContactEmail, v, DispId::ContactEmail);
    }
    std::string getProxyServer() const { return get(m_strProxyServer); }
    void setProxyServer(const std::string& v) { change(m_strProxyServer, v, DispId::ProxyServer); }
    std::string getProxyPort() const { return get(m_strProxyPort); }
    void setProxyPort(const std::string& v) { change(m_strProxyPort, v, DispId::ProxyPort); }
    bool getProxyUsage() const { return get(m_bProxyUsage); }
    void setProxyUsage(bool v) { change(m_bProxyUsage, v, DispId::ProxyUsage); }
    bool getProxySysUsage() const { return get(m_bProxySysUsage); }
    void setProxySysUsage(bool v) { change(m_bProxySysUsage, v, DispId::ProxySysUsage); }
    std::string getProxySysServer() const { return get(m_strProxySysServer); }
    void setProxySysServer(const std::string& v) {
        change(m_strProxySysServer, v, DispId::ProxySysServer);
    }
    std::string getProxySysBypass() const { return get(m_strProxySysBypass); }
    void setProxySysBypass(const std::string& v) {
        change(m_strProxySysBypass, v, DispId::ProxySysBypass);
    }
    std::uint32_t getProxySysAccessType() const { return get(m_nProxySysAccessType); }
    void setProxySysAccessType(std::uint32_t v) {
        change(m_nProxySysAccessType, v, DispId::ProxySysAccessType);
    }

    // Run-time fields.
    std::string getSettingsPath() const { return get(m_strSettingsPath); }
    std::string getUndeletedLog() const { return get(m_strUndeletedLog); }
    void setUndeletedLog(const std::string& v) { set(m_strUndeletedLog, v); }
    std::int32_t getUndeletedCount() const { return get(m_nUndeletedCount); }
    void setUndeletedCount(std::int32_t v) { set(m_nUndeletedCount, v); }
    std::int32_t getActivityState() const { return get(m_nActivityState); }
    void setActivityState(std::int32_t v) { set(m_nActivityState, v); }

    // The minimum age in days for the current DeleteAge and today's local month.
    double getDeleteAgeSpan() const;
    void notifyScanNow();

    // Subscribes (or drops) `observer` for the changes of every Config property.
    void subscribePropertyChanges(Common::IObserver* observer);
    void unsubscribePropertyChanges(Common::IObserver* observer);

    // Reads the file at `path` (and remembers the path); on a missing or bad file
    // saves the current values over it.
    void loadFromFile(const std::string& path);
    // Writes the file at the remembered path, through a temporary file renamed
    // over the old one. Failures are logged as ever; the result also says why,
    // for the service's own report (empty on success).
    std::error_code saveToFile();

private:
    friend class Common::CSingleton<CSettings>;
    friend class CSettingsFile;
    CSettings();

    template <typename T> T get(const T& field) const {
        std::lock_guard lock(m_mutex);
        return field;
    }
    template <typename T> void set(T& field, const T& value) {
        std::lock_guard lock(m_mutex);
        field = value;
    }
    // Stores a property's value and tells its observers when that changed it.
    template <typename T> void change(T& field, const T& value, int dispId) {
        {
            std::lock_guard lock(m_mutex);
            if (field == value)
                return;
            field = value;
        }
        notify(eSE_PropertyChanged + dispId);
    }

    mutable std::mutex m_mutex;
    std::string m_strScanFolder;
    std::string m_strFileTypes;
    std::string m_strOtherFileTypes;
    double m_dtStartTime = 0;
    EDateStatus m_eStartTimeStatus = EDateStatus::valid;
    std::int32_t m_nDeleteAge = eDA_Week;
    std::string m_strProxyServer;
    std::string m_strProxyPort;
    bool m_bProxyUsage = true;
    bool m_bProxySysUsage = true;
    std::string m_strProxySysServer;
    std::string m_strProxySysBypass;
    std::uint32_t m_nProxySysAccessType = 0;
    std::string m_strLastScan;
    std::uint64_t m_nCleanedSpace = 0;
    std::string m_strContactName;
    std::string m_strContactEmail;
    std::string m_strSettingsPath;
    std::string m_strUndeletedLog;
    std::int32_t m_nUndeletedCount = 0;
    std::int32_t m_nActivityState = eAS_Idle;
};

} // namespace MW
