#include "CMorrowick.h"

#include "CConfig.h"
#include "CSettings.h"

namespace MW::Objects {

CMorrowick::CMorrowick(std::int32_t maxSinkSlots) : m_connectionPoint(maxSinkSlots) {}

std::unique_ptr<CConfig> CMorrowick::getConfig() const {
    return std::make_unique<CConfig>();
}

void CMorrowick::fireEvent(EFireEvent event) {
    switch (event) {
    case eFE_ScanStarted:
        fireScanStarted();
        break;
    case eFE_ScanFinished:
        fireScanFinished();
        break;
    case eFE_UpdateCleanedSpace:
        // The total at this moment, not an increment.
        fireUpdateCleanedSpace(CSettings::getInstance()->getCleanedSpace());
        break;
    case eFE_Test:
        fireTest();
        break;
    default:
        break;
    }
}

void CMorrowick::scanNow() {
    CSettings::getInstance()->notifyScanNow();
}

std::string CMorrowick::getUndeletedLog() const {
    return CSettings::getInstance()->getUndeletedLog();
}

std::int32_t CMorrowick::getUndeletedCount() const {
    return CSettings::getInstance()->getUndeletedCount();
}

std::int32_t CMorrowick::getActivityState() const {
    return CSettings::getInstance()->getActivityState();
}

std::uint32_t CMorrowick::advise(std::shared_ptr<IMorrowickEvents> sink) {
    return m_connectionPoint.advise(std::move(sink));
}

void CMorrowick::unadvise(std::uint32_t cookie) {
    m_connectionPoint.unadvise(cookie);
}

void CMorrowick::fireScanStarted() {
    m_connectionPoint.fire([](IMorrowickEvents& sink) { sink.scanStarted(); });
}

void CMorrowick::fireScanFinished() {
    m_connectionPoint.fire([](IMorrowickEvents& sink) { sink.scanFinished(); });
}

void CMorrowick::fireUpdateCleanedSpace(std::uint64_t cleanedSpace) {
    m_connectionPoint.fire(
        [cleanedSpace](IMorrowickEvents& sink) { sink.updateCleanedSpace(cleanedSpace); });
}

void CMorrowick::fireTest() {
    m_connectionPoint.fire([](IMorrowickEvents& sink) { sink.test(); });
}

CMorrowickFactory::CMorrowickFactory(Creator creator) : m_fnCreate(std::move(creator)) {}

std::shared_ptr<CMorrowick> CMorrowickFactory::getInstance() {
    std::lock_guard lock(m_mutex);
    if (!m_pInstance && !m_pFailure) {
        try {
            m_pInstance = m_fnCreate();
            if (!m_pInstance)
                throw CContractError(Bus::kErrorFailed, "The engine object could not be created.");
        } catch (...) {
            m_pFailure = std::current_exception();
        }
    }
    if (m_pFailure)
        std::rethrow_exception(m_pFailure);
    return m_pInstance;
}

std::shared_ptr<CMorrowick> getMorrowick() {
    static CMorrowickFactory s_factory([] { return std::make_shared<CMorrowick>(); });
    return s_factory.getInstance();
}

} // namespace MW::Objects
