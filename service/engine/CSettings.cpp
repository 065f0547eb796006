#include "CSettings.h"

#include "CleaningRules.h"
#include "OleDate.h"

namespace MW {

// The root of the file system stands where the system drive stood.
CSettings::CSettings() : m_strScanFolder("/"), m_dtStartTime(Clock::nowLocal() + 1.0) {}

void CSettings::setStartTime(double oleDate) {
    {
        std::lock_guard lock(m_mutex);
        if (m_dtStartTime == oleDate)
            return;
        m_dtStartTime = oleDate;
        m_eStartTimeStatus = EDateStatus::valid;
    }
    notify(eSE_PropertyChanged + DispId::StartTime);
    notify(eSE_StartTimeChanged);
}

void CSettings::storeStartTime(double oleDate) {
    {
        std::lock_guard lock(m_mutex);
        m_eStartTimeStatus = EDateStatus::valid;
        if (m_dtStartTime == oleDate)
            return;
        m_dtStartTime = oleDate;
    }
    notify(eSE_PropertyChanged + DispId::StartTime);
}

std::uint64_t CSettings::addCleanedSpace(std::uint64_t bytes) {
    std::uint64_t total = 0;
    {
        std::lock_guard lock(m_mutex);
        m_nCleanedSpace += bytes; // unsigned: wraps at 2^64
        total = m_nCleanedSpace;
    }
    if (bytes != 0)
        notify(eSE_PropertyChanged + DispId::CleanedSpace);
    return total;
}

double CSettings::getDeleteAgeSpan() const {
    const std::tm now = OleDate::toTm(Clock::nowLocal());
    return Rules::deleteAgeSpan(getDeleteAge(), now.tm_mon + 1);
}

void CSettings::notifyScanNow() {
    notify(eSE_ScanNow);
}

void CSettings::subscribePropertyChanges(Common::IObserver* observer) {
    for (int dispId = DispId::ScanFolder; dispId <= DispId::ProxySysAccessType; ++dispId)
        subscribe(eSE_PropertyChanged + dispId, observer);
}

void CSettings::unsubscribePropertyChanges(Common::IObserver* observer) {
    for (int dispId = DispId::ScanFolder; dispId <= DispId::ProxySysAccessType; ++dispId)
        unsubscribe(eSE_PropertyChanged + dispId, observer);
}

} // namespace MW
