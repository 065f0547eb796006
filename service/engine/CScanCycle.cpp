#include "CScanCycle.h"

#include "CLog.h"
#include "CSettings.h"
#include "CleaningRules.h"
#include "OleDate.h"

#include <string>

namespace MW {
namespace {

constexpr const char* kStartedFailure =
    "CCleaner::run(): m_pIMWEventDispatcher->fireEvent( eFE_ScanStarted ) failed: ";
constexpr const char* kUpdateFailure =
    "m_pIMWEventDispatcher->fireEvent( eFE_UpdateCleanedSpace ) failed: ";

} // namespace

SPassInputs passInputs(const CSettings& settings) {
    SPassInputs inputs;
    const std::string otherFileTypes = settings.getOtherFileTypes();
    inputs.types = Rules::prepareTypeList(settings.getFileTypes(), otherFileTypes);
    inputs.others = Rules::prepareOtherList(otherFileTypes);
    inputs.minimumAge = settings.getDeleteAgeSpan();
    inputs.folder = settings.getScanFolder();
    return inputs;
}

CScanCycle::CScanCycle(CSettings& settings, CLog& log, IMWEventDispatcher* dispatcher)
    : m_settings(settings), m_log(log), m_pIMWEventDispatcher(dispatcher) {}

void CScanCycle::begin() {
    m_log.write("CCleaner: Starting the scanning process!");
    openList();
    m_settings.setUndeletedCount(0);
    fireEvent(eFE_ScanStarted, kStartedFailure);
    // Clients handling scanStarted still see the idle state.
    m_settings.setActivityState(eAS_Busy);
}

void CScanCycle::openList() {
    m_undeleted.open(m_settings.getUndeletedLog());
}

void CScanCycle::clean(const SPassInputs& inputs, const std::atomic<bool>& stop) {
    if (!inputs.types.empty())
        CScanPass(inputs, stop).clean(m_log, m_undeleted, *this);
}

void CScanCycle::closeList() {
    m_settings.setUndeletedCount(m_undeleted.close());
}

void CScanCycle::abandon() {
    m_settings.setActivityState(eAS_Idle);
}

void CScanCycle::recordDate() {
    m_settings.setLastScan(OleDate::formatMDY(Clock::nowLocal()));
}

void CScanCycle::finish() {
    // Clients handling scanFinished still see the busy state.
    fireEvent(eFE_ScanFinished, {});
    m_settings.setActivityState(eAS_Idle);
    m_log.write("CCleaner: Scanning finished!");
    m_log.write("Last scan time: " + OleDate::formatMDY(Clock::nowLocal()) +
                "\nCleaned space: " + std::to_string(m_settings.getCleanedSpace()));
}

void CScanCycle::fileDeleted(std::uint64_t size) {
    m_settings.addCleanedSpace(size);
    fireEvent(eFE_UpdateCleanedSpace, kUpdateFailure);
}

void CScanCycle::fireEvent(EFireEvent event, std::string_view failurePrefix) {
    if (!m_pIMWEventDispatcher)
        return;
    try {
        m_pIMWEventDispatcher->fireEvent(event);
    } catch (const CContractError&) {
        if (!failurePrefix.empty())
            m_log.write(std::string(failurePrefix) + "COM ERROR!");
    } catch (...) {
        if (!failurePrefix.empty())
            m_log.write(std::string(failurePrefix) + "Caught ... error.");
    }
}

} // namespace MW
