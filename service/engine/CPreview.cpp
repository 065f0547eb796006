#include "CPreview.h"

#include "CLog.h"
#include "CPreviewList.h"
#include "Contract.h"
#include "PrivateFile.h"

#include <cstdio>

namespace MW {

CPreview::CPreview(CLog& log) : m_log(log) {}

void CPreview::setFile(std::string path, std::string readerGroup) {
    m_strFile = std::move(path);
    m_strReaderGroup = std::move(readerGroup);
}

SPreviewTotals CPreview::run(const SPassInputs& inputs, const std::atomic<bool>& stop) {
    if (m_strFile.empty())
        throw CContractError(Bus::kErrorFailed, "The service has no place for a preview.");

    // Written aside and put in place when complete, so a reader never sees half.
    const std::string partial = m_strFile + ".new";
    CPreviewList list;
    if (!list.open(partial, m_strReaderGroup))
        throw CContractError(Bus::kErrorFailed,
                             "The preview file " + partial + " cannot be written.");
    if (!inputs.types.empty())
        CScanPass(inputs, stop).preview(list);
    const bool written = list.close();
    if (stop.load() || !written || !Platform::renameFile(partial, m_strFile)) {
        std::remove(partial.c_str());
        throw CContractError(Bus::kErrorFailed,
                             stop.load() ? "The service stopped during the preview."
                                         : "The preview file " + m_strFile + " cannot be written.");
    }
    SPreviewTotals totals = list.totals();
    totals.file = m_strFile;
    m_log.write("CCleaner: Preview written to " + m_strFile + ": " +
                std::to_string(totals.filesToDelete) + " files to delete (" +
                std::to_string(totals.bytesToDelete) + " bytes), " +
                std::to_string(totals.filesToKeep) + " to leave (" +
                std::to_string(totals.bytesToKeep) + " bytes)");
    return totals;
}

} // namespace MW
