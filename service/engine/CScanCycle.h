#pragma once
// One scan as the service runs it: the events and states around the scan pass,
// the undeleted-files list, and the results in the settings and the log. The
// cleaner thread decides when a scan runs; this class does the scan's work, in
// the order clients rely on (scanStarted while still idle, the results in place
// and the state still busy when scanFinished arrives).

#include "CScanPass.h"
#include "CUndeletedList.h"
#include "Contract.h"

#include <atomic>
#include <string_view>

namespace MW {

class CLog;
class CSettings;

// The inputs of a pass from the settings' current values.
SPassInputs passInputs(const CSettings& settings);

class CScanCycle : private IDeletionListener {
public:
    // `dispatcher` may be null: the events are then skipped.
    CScanCycle(CSettings& settings, CLog& log, IMWEventDispatcher* dispatcher);
    CScanCycle(const CScanCycle&) = delete;
    CScanCycle& operator=(const CScanCycle&) = delete;

    // Starts the scan: the list opened afresh, scanStarted, then the busy state.
    void begin();
    // Truncates and opens the undeleted-files list named by the settings.
    void openList();
    // The pass over `inputs`, unless their type list is empty; every deleted file's
    // size goes into CleanedSpace and out as updateCleanedSpace. Ends early on `stop`.
    void clean(const SPassInputs& inputs, const std::atomic<bool>& stop);
    // Closes the list and publishes its count as UndeletedCount.
    void closeList();
    // The scan did not end (the service stops): idle again, no date and no event.
    void abandon();
    // LastScan becomes today; clients handling scanFinished read it.
    void recordDate();
    // scanFinished, the idle state, and the totals in the log.
    void finish();

private:
    void fileDeleted(std::uint64_t size) override;
    // An empty prefix: the caller does not examine the outcome.
    void fireEvent(EFireEvent event, std::string_view failurePrefix);

    CSettings& m_settings;
    CLog& m_log;
    IMWEventDispatcher* m_pIMWEventDispatcher;
    CUndeletedList m_undeleted;
};

} // namespace MW
