// The scan pass: the recursive walk that deletes old files of the selected types,
// the undeleted-files list it fills, and the log trace of both.

#include "CScanPass.h"

#include "CLog.h"
#include "CPreviewList.h"
#include "CUndeletedList.h"
#include "CleaningRules.h"
#include "Directory.h"
#include "Files.h"
#include "OleDate.h"
#include "Text.h"

#include <filesystem>

namespace MW {
namespace {

using Platform::EEntryKind;

// A folder is listed only while its path plus a separator and "*.*" (a Windows
// listing's search pattern) stays below the platform's path limit, so that both
// builds reach the same folders; this also bounds the depth of the walk.
constexpr std::size_t kPatternSuffixLength = 4;

// Each level of the walk holds its folder open. Only a hostile tree nests deeper
// than this, and it would otherwise use up the service's descriptors; deeper
// folders are treated like folders that cannot be listed.
constexpr std::size_t kMaxDepth = 256;

bool mayList(const std::string& folder) {
    return Platform::pathLength(folder) + kPatternSuffixLength < Platform::maxPathLength();
}

// Tells the administrator which part of the tree a scan could not reach, and why.
std::string notScanned(const std::string& folder, const std::string& reason) {
    return "Folder not scanned: " + Common::withControlsMarked(folder) + " (" + reason + ")";
}

std::string pathTooLong() {
    return "path longer than " +
           std::to_string(Platform::maxPathLength() - kPatternSuffixLength - 1) + " bytes";
}

// The root folder as the walk uses it: ".", ".." and repeated separators resolved
// lexically, as a full path is made from a typed one, without a trailing
// separator (the root itself excepted). Empty for a relative path: it would be
// taken from the service's working directory, not from where it was typed.
std::string normalisedRoot(const std::string& folder) {
    // Through fsPath and back as UTF-8: a narrow path on Windows is in the ANSI code
    // page, which loses other characters. On Linux both are the bytes as given.
    const std::filesystem::path path = Platform::fsPath(folder);
    if (!path.is_absolute())
        return {};
    const std::u8string normalUtf8 = path.lexically_normal().u8string();
    std::string normal(normalUtf8.begin(), normalUtf8.end());
    const std::size_t rootSize = path.root_path().u8string().size();
    while (normal.size() > 1 && Platform::endsWithSeparator(normal) && normal.size() > rootSize)
        normal.pop_back();
    return normal;
}

} // namespace

CScanPass::CScanPass(const SPassInputs& inputs, const std::atomic<bool>& stop)
    : m_inputs(inputs), m_bStop(stop) {}

void CScanPass::clean(CLog& log, CUndeletedList& undeleted, IDeletionListener& listener) {
    m_pLog = &log;
    m_pUndeleted = &undeleted;
    m_pListener = &listener;
    m_pPreview = nullptr;
    walk();
}

void CScanPass::preview(CPreviewList& preview) {
    m_pLog = nullptr;
    m_pUndeleted = nullptr;
    m_pListener = nullptr;
    m_pPreview = &preview;
    walk();
}

// The walk's log trace, which belongs to real scans only.
void CScanPass::trace(const std::string& entry) const {
    if (m_pLog)
        m_pLog->write(entry);
}

// False only when the file test is bound to fail, which most files are: it then
// need not lower and copy the whole path. The test takes the extension from the
// last '.' of the full path. For a name with a dot that is the name's last '.';
// for a name without one it is the folder's last '.', and the extension runs
// through the separator into the name (`dottedFolderTail`, lowered, empty when
// the folder has no dot).
bool CScanPass::mayBeCandidate(std::string_view name, std::string_view dottedFolderTail) {
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos) {
        m_strExtension.assign(name.substr(dot));
    } else {
        if (dottedFolderTail.empty())
            return false;
        m_strExtension.assign(dottedFolderTail);
        m_strExtension.append(name);
    }
    Common::asciiLowerInPlace(m_strExtension);
    return m_inputs.types.find(m_strExtension) != std::string::npos;
}

void CScanPass::walk() {
    const std::string& folder = m_inputs.folder;
    m_nDepth = 0;
    m_strPath = normalisedRoot(folder);
    trace("Scanning !" + Common::withControlsMarked(folder));
    if (m_strPath.empty())
        return trace(notScanned(folder, "not an absolute path"));
    if (!mayList(m_strPath))
        return trace(notScanned(m_strPath, pathTooLong()));
    Platform::CDirectory root;
    if (!root.open(m_strPath))
        return trace(notScanned(m_strPath, root.failureReason()));
    scanEntries(root);
}

void CScanPass::scanSubfolder(const Platform::CDirectory& parent, const char* name) {
    trace("Scanning !" + Common::withControlsMarked(m_strPath));
    if (!mayList(m_strPath))
        return trace(notScanned(m_strPath, pathTooLong()));
    if (m_nDepth >= kMaxDepth)
        return trace(notScanned(m_strPath, "deeper than " + std::to_string(kMaxDepth) + " levels"));
    Platform::CDirectory folder;
    if (!folder.openSub(parent, name))
        return trace(notScanned(m_strPath, folder.failureReason()));
    ++m_nDepth;
    scanEntries(folder);
    --m_nDepth;
}

void CScanPass::scanEntries(Platform::CDirectory& folder) {
    std::string& path = m_strPath;
    const std::size_t folderLength = path.size();
    const bool addSeparator = !Platform::endsWithSeparator(path);
    const char separator = Platform::pathSeparator();
    std::string dottedTail;
    if (const auto dot = path.rfind('.'); dot != std::string::npos) {
        dottedTail = Common::asciiLower(std::string_view(path).substr(dot));
        if (addSeparator)
            dottedTail += separator;
    }
    const auto appendName = [&](std::string_view name) {
        if (addSeparator)
            path += separator;
        path += name;
    };

    Platform::SDirEntry entry;
    // A stop request ends the pass between two entries.
    while (!m_bStop.load(std::memory_order_relaxed) && folder.next(entry)) {
        const std::string_view name(entry.name, entry.length);
        EEntryKind kind = entry.kind;
        if (kind == EEntryKind::Unknown) {
            const auto info = folder.stat(entry.name);
            if (!info)
                continue;
            kind = info->kind;
        }
        if (kind == EEntryKind::Directory) {
            if (name == "." || name == "..")
                continue;
            appendName(name);
            scanSubfolder(folder, entry.name);
            path.resize(folderLength);
            continue;
        }
        // Files, links and special files alike: a link is judged by its own name and
        // time, and removing it never touches its target. A link to a folder is
        // neither entered nor removed (cleanFile looks at its target's type).
        if (!mayBeCandidate(name, dottedTail))
            continue;
        appendName(name);
        const std::optional<std::string> lowered =
            Rules::fileTest(path, m_inputs.types, m_inputs.others);
        path.resize(folderLength);
        if (lowered)
            cleanFile(folder, entry.name, *lowered);
    }
}

void CScanPass::cleanFile(const Platform::CDirectory& folder, const char* name,
                          const std::string& path) {
    const auto info = folder.stat(name);
    // Gone since the listing, or a folder (or a link to one) in its place: nothing
    // to clean.
    if (!info || info->kind == EEntryKind::Directory || info->linkToDirectory)
        return;
    const double modifyDate = Clock::utcToLocalNowOffset(info->modifiedUtc);
    const double currentDate = Clock::nowLocal();
    if (!Rules::isOldEnough(modifyDate, currentDate, m_inputs.minimumAge))
        return;
    trace("Current date: " + OleDate::formatMDY(currentDate) +
          " , Modify date: " + OleDate::formatMDY(modifyDate));

    // Read-only and in-use files are kept, as Windows refuses to delete them, so
    // that both builds leave the same files. Only regular files are opened for the
    // in-use test: opening a device or a pipe can have effects of its own.
    const char* keptBecause = info->readOnly ? CPreviewList::kReadOnly
                              : info->kind == EEntryKind::File && folder.isInUse(name)
                                  ? CPreviewList::kInUse
                                  : nullptr;
    if (m_pPreview) {
        // Asks where a scan would try: what the folder lets us remove.
        const char* action = keptBecause              ? keptBecause
                             : folder.mayRemove(name) ? CPreviewList::kDelete
                                                      : CPreviewList::kDenied;
        std::string found = m_strPath;
        if (!Platform::endsWithSeparator(found))
            found += Platform::pathSeparator();
        found += name;
        m_pPreview->add(action, info->size, found);
        return;
    }
    const bool deleted = !keptBecause && folder.remove(name);
    if (deleted) {
        m_pListener->fileDeleted(info->size);
        trace("File has been deleted: " + Common::withControlsMarked(path));
    } else {
        m_pUndeleted->add(path);
        trace("File has not been deleted: " + Common::withControlsMarked(path));
    }
}

} // namespace MW
