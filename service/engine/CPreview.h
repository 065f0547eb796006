#pragma once
// A preview: the scan pass run in the mode that deletes, counts, lists, signals
// and logs nothing, its findings written to the preview file (CPreviewList).

#include "CScanPass.h"
#include "Preview.h"

#include <atomic>
#include <string>

namespace MW {

class CLog;

class CPreview {
public:
    explicit CPreview(CLog& log);

    // Where run() writes, and the group that may read it besides the owner (empty:
    // the owner only).
    void setFile(std::string path, std::string readerGroup);

    // Runs the pass over `inputs` on the calling thread and puts the complete file in
    // place; the log gets one summary entry. Throws CContractError when there is no
    // file to write, the file cannot be written, or `stop` ended the pass early.
    SPreviewTotals run(const SPassInputs& inputs, const std::atomic<bool>& stop);

private:
    CLog& m_log;
    std::string m_strFile;
    std::string m_strReaderGroup;
};

} // namespace MW
