#include "PrivateFile.h"

#include "Files.h"

#include <windows.h>

namespace MW::Platform {

std::FILE* createPrivateFile(const std::string& path, const std::string& /*readerGroup*/) {
    // Who may read it comes from the folder's security, which the file inherits;
    // Windows has no group to hand a single file to here.
    const DWORD attributes = ::GetFileAttributesW(fsPath(path).c_str());
    // Never through a link someone put in the state folder.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return nullptr;
    return openTextFile(path, "w");
}

bool renameFile(const std::string& from, const std::string& to) {
    return ::MoveFileExW(fsPath(from).c_str(), fsPath(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

} // namespace MW::Platform
