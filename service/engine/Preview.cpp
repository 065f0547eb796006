// The preview of CCleaner: the scan pass run over the configured folder in a mode
// that only writes down what it would do.

#include "CCleaner.h"
#include "CLog.h"
#include "CPreviewList.h"
#include "PrivateFile.h"

#include <cstdio>

namespace MW {

void CCleaner::setPreviewFile(std::string path, std::string readerGroup) {
    m_strPreviewFile = std::move(path);
    m_strPreviewGroup = std::move(readerGroup);
}

SPreviewTotals CCleaner::preview() {
    std::unique_lock running(m_previewMutex, std::try_to_lock);
    if (!running.owns_lock())
        throw CContractError(Bus::kErrorPreviewRunning, "A preview is running already.");
    std::unique_lock pass(m_passMutex, std::try_to_lock);
    if (!pass.owns_lock())
        throw CContractError(Bus::kErrorScanRunning,
                             "A scan is running; a preview can start when it has finished.");
    if (m_bStop.load())
        throw CContractError(Bus::kErrorFailed, "The service is stopping.");
    if (m_strPreviewFile.empty())
        throw CContractError(Bus::kErrorFailed, "The service has no place for a preview.");

    // Written aside and put in place when complete, so a reader never sees half.
    const std::string partial = m_strPreviewFile + ".new";
    CPreviewList list;
    if (!list.open(partial, m_strPreviewGroup))
        throw CContractError(Bus::kErrorFailed,
                             "The preview file " + partial + " cannot be written.");
    const SPassInputs inputs = passInputs();
    if (!inputs.types.empty())
        scanFolder(inputs.folder, inputs.types, inputs.others, inputs.minimumAge, &list);
    const bool written = list.close();
    if (m_bStop.load() || !written || !Platform::renameFile(partial, m_strPreviewFile)) {
        std::remove(partial.c_str());
        throw CContractError(Bus::kErrorFailed,
                             m_bStop.load()
                                 ? "The service stopped during the preview."
                                 : "The preview file " + m_strPreviewFile + " cannot be written.");
    }
    SPreviewTotals totals = list.totals();
    totals.file = m_strPreviewFile;
    logWrite("CCleaner: Preview written to " + m_strPreviewFile + ": " +
             std::to_string(totals.filesToDelete) + " files to delete (" +
             std::to_string(totals.bytesToDelete) + " bytes), " +
             std::to_string(totals.filesToKeep) + " to leave (" +
             std::to_string(totals.bytesToKeep) + " bytes)");
    return totals;
}

} // namespace MW
