#pragma once
// The scan pass: the recursive walk that deletes the old files of the selected
// types below one folder, lists those it could not delete and traces both in the
// log. A preview runs the same walk and rules without deleting, counting, listing
// or logging anything, and writes down what a scan would do instead.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace MW {

namespace Platform {
class CDirectory;
}
class CLog;
class CPreviewList;
class CUndeletedList;

// What one pass works on, prepared from the settings as a scan starts.
struct SPassInputs {
    std::string folder;    // the root, as stored
    std::string types;     // Rules::prepareTypeList
    std::string others;    // Rules::prepareOtherList
    double minimumAge = 0; // in days
};

// Told of each file a pass deleted, before the pass logs the deletion.
class IDeletionListener {
public:
    virtual ~IDeletionListener() = default;
    virtual void fileDeleted(std::uint64_t size) = 0;
};

class CScanPass {
public:
    // A pass over `inputs`; it ends between two entries once `stop` is set.
    CScanPass(const SPassInputs& inputs, const std::atomic<bool>& stop);
    CScanPass(const CScanPass&) = delete;
    CScanPass& operator=(const CScanPass&) = delete;

    // Deletes each file that passes the file test and is older than the minimum age:
    // `listener` hears of each deletion, `undeleted` takes each file that could not
    // be deleted, `log` the trace of the walk.
    void clean(CLog& log, CUndeletedList& undeleted, IDeletionListener& listener);
    // Deletes nothing and logs nothing: `preview` learns what clean() would do.
    void preview(CPreviewList& preview);

private:
    void walk();
    void trace(const std::string& entry) const;
    bool mayBeCandidate(std::string_view name, std::string_view dottedFolderTail);
    void scanSubfolder(const Platform::CDirectory& parent, const char* name);
    void scanEntries(Platform::CDirectory& folder);
    void cleanFile(const Platform::CDirectory& folder, const char* name, const std::string& path);

    const SPassInputs& m_inputs;
    const std::atomic<bool>& m_bStop;
    // Where a deleting pass reports (all set), or the preview's list (set alone).
    CLog* m_pLog = nullptr;
    CUndeletedList* m_pUndeleted = nullptr;
    IDeletionListener* m_pListener = nullptr;
    CPreviewList* m_pPreview = nullptr;
    // The folder being listed, as found; an entry's name is appended while it is
    // examined and removed again, so the walk builds no path it does not need.
    std::string m_strPath;
    std::size_t m_nDepth = 0;
    // Scratch for the cheap type check.
    std::string m_strExtension;
};

} // namespace MW
