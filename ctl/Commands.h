#pragma once
// One function per mwctl command. Each returns the exit status and throws
// CCtlError for what it cannot do.

#include "CommandLine.h"

namespace MW::Ctl {

inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitFilesLeft = 3;
// The service takes no changes from this user (not root, not in its group).
inline constexpr int kExitNotAllowed = 4;

int runStatus(const SCommandLine& line);
int runSet(const SCommandLine& line);
int runScan(const SCommandLine& line);
int runUndeleted(const SCommandLine& line);
int runResetCount(const SCommandLine& line);
int runPreview(const SCommandLine& line);

} // namespace MW::Ctl
