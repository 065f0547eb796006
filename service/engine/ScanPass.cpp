// The scan pass of CCleaner: the recursive walk that deletes old files of the
// selected types, the undeleted-files list, and the log trace of both.

#include "CCleaner.h"
#include "CLog.h"
#include "CPreviewList.h"
#include "CSettings.h"
#include "CleaningRules.h"
#include "Directory.h"
#include "Files.h"
#include "OleDate.h"
#include "Text.h"

#include <filesystem>

namespace MW {
namespace {

using Platform::EEntryKind;

// A folder is listed only while its path plus a separator and "*.*" (the search
// pattern a Windows listing appends) stays below the platform's path limit, so
// both systems list the same folders; this also bounds the depth of the walk.
constexpr std::size_t kPatternSuffixLength = 4;

// Each level of the walk holds its folder open. Only a hostile tree nests deeper
// than this, and it would otherwise use up the service's descriptors; deeper
// folders are treated like folders that cannot be listed.
constexpr std::size_t kMaxDepth = 256;

constexpr const char* kUpdateFailure =
    "m_pIMWEventDispatcher->fireEvent( eFE_UpdateCleanedSpace ) failed: ";

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

void lowerInPlace(std::string& text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
}

} // namespace

struct CCleaner::SPass {
    // Set for a preview: the pass then deletes, counts, lists, signals and logs
    // nothing, and tells this list what it would do instead.
    CPreviewList* preview = nullptr;
    std::string_view types;
    std::string_view others;
    double minimumAge = 0;
    // The folder being listed, as found; an entry's name is appended while it is
    // examined and removed again, so the walk builds no path it does not need.
    std::string path;
    std::size_t depth = 0;
    // Scratch for the cheap type check.
    std::string extension;

    // The walk's log trace, which belongs to real scans only.
    void trace(const std::string& entry) const {
        if (!preview)
            logWrite(entry);
    }

    // False only when the file test is bound to fail, which most files are: it then
    // need not lower and copy the whole path. The test takes the extension from the
    // last '.' of the full path. For a name with a dot that is the name's last '.';
    // for a name without one it is the folder's last '.', and the extension runs
    // through the separator into the name (`dottedFolderTail`, lowered, empty when
    // the folder has no dot).
    bool mayBeCandidate(std::string_view name, std::string_view dottedFolderTail) {
        if (const auto dot = name.rfind('.'); dot != std::string_view::npos) {
            extension.assign(name.substr(dot));
        } else {
            if (dottedFolderTail.empty())
                return false;
            extension.assign(dottedFolderTail);
            extension.append(name);
        }
        lowerInPlace(extension);
        return types.find(extension) != std::string_view::npos;
    }
};

void CCleaner::openUndeletedList() {
    if (m_pUndeletedList) {
        std::fclose(m_pUndeletedList);
        m_pUndeletedList = nullptr;
    }
    m_nUndeleted = 0;
    const std::string path = CSettings::getInstance()->getUndeletedLog();
    // Without a list the cycle goes on; failures are then only logged.
    if (!path.empty())
        m_pUndeletedList = Platform::openTextFile(path, "w");
}

void CCleaner::addUndeleted(std::string_view path) {
    if (!m_pUndeletedList)
        return;
    std::string line = Common::toLatin1(Common::withControlsMarked(path));
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), m_pUndeletedList);
    ++m_nUndeleted;
}

void CCleaner::closeUndeletedList() {
    CSettings::getInstance()->setUndeletedCount(m_nUndeleted);
    m_nUndeleted = 0;
    if (m_pUndeletedList) {
        std::fclose(m_pUndeletedList);
        m_pUndeletedList = nullptr;
    }
}

void CCleaner::scanFolder(const std::string& folder, const std::string& types,
                          const std::string& others, double minimumAge, CPreviewList* preview) {
    SPass pass;
    pass.preview = preview;
    pass.types = types;
    pass.others = others;
    pass.minimumAge = minimumAge;
    pass.path = normalisedRoot(folder);
    pass.trace("Scanning !" + Common::withControlsMarked(folder));
    if (pass.path.empty())
        return pass.trace(notScanned(folder, "not an absolute path"));
    if (!mayList(pass.path))
        return pass.trace(notScanned(pass.path, pathTooLong()));
    Platform::CDirectory root;
    if (!root.open(pass.path))
        return pass.trace(notScanned(pass.path, root.failureReason()));
    scanEntries(root, pass);
}

void CCleaner::scanSubfolder(const Platform::CDirectory& parent, const char* name, SPass& pass) {
    pass.trace("Scanning !" + Common::withControlsMarked(pass.path));
    if (!mayList(pass.path))
        return pass.trace(notScanned(pass.path, pathTooLong()));
    if (pass.depth >= kMaxDepth)
        return pass.trace(
            notScanned(pass.path, "deeper than " + std::to_string(kMaxDepth) + " levels"));
    Platform::CDirectory folder;
    if (!folder.openSub(parent, name))
        return pass.trace(notScanned(pass.path, folder.failureReason()));
    ++pass.depth;
    scanEntries(folder, pass);
    --pass.depth;
}

void CCleaner::scanEntries(Platform::CDirectory& folder, SPass& pass) {
    std::string& path = pass.path;
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
            scanSubfolder(folder, entry.name, pass);
            path.resize(folderLength);
            continue;
        }
        // Files, links and special files alike: a link is judged by its own name and
        // time, and removing it never touches its target. A link to a folder is
        // neither entered nor removed (cleanFile looks at its target's type).
        if (!pass.mayBeCandidate(name, dottedTail))
            continue;
        appendName(name);
        const std::optional<std::string> lowered = Rules::fileTest(path, pass.types, pass.others);
        path.resize(folderLength);
        if (lowered)
            cleanFile(folder, entry.name, *lowered, pass);
    }
}

void CCleaner::cleanFile(const Platform::CDirectory& folder, const char* name,
                         const std::string& path, SPass& pass) {
    const auto info = folder.stat(name);
    // Gone since the listing, or a folder (or a link to one) in its place: nothing
    // to clean.
    if (!info || info->kind == EEntryKind::Directory || info->linkToDirectory)
        return;
    const double modifyDate = Clock::utcToLocalNowOffset(info->modifiedUtc);
    const double currentDate = Clock::nowLocal();
    if (!Rules::isOldEnough(modifyDate, currentDate, pass.minimumAge))
        return;
    pass.trace("Current date: " + OleDate::formatMDY(currentDate) +
               " , Modify date: " + OleDate::formatMDY(modifyDate));

    // Read-only and in-use files are kept, as Windows refuses to delete them, so
    // a scan leaves the same files on every system. Only regular files are
    // opened for the in-use test: opening a device or a pipe can have effects of
    // its own.
    const char* keptBecause = info->readOnly ? CPreviewList::kReadOnly
                              : info->kind == EEntryKind::File && folder.isInUse(name)
                                  ? CPreviewList::kInUse
                                  : nullptr;
    if (pass.preview) {
        // Asks where a scan would try: what the folder lets us remove.
        const char* action = keptBecause              ? keptBecause
                             : folder.mayRemove(name) ? CPreviewList::kDelete
                                                      : CPreviewList::kDenied;
        std::string found = pass.path;
        if (!Platform::endsWithSeparator(found))
            found += Platform::pathSeparator();
        found += name;
        pass.preview->add(action, info->size, found);
        return;
    }
    const bool deleted = !keptBecause && folder.remove(name);
    if (deleted) {
        CSettings::getInstance()->addCleanedSpace(info->size);
        fireEvent(eFE_UpdateCleanedSpace, kUpdateFailure);
        logWrite("File has been deleted: " + Common::withControlsMarked(path));
    } else {
        addUndeleted(path);
        logWrite("File has not been deleted: " + Common::withControlsMarked(path));
    }
}

} // namespace MW
