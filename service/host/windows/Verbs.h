#pragma once
// The five registration verbs: what each writes to the registry and to the
// service control manager. The result is the program's exit code.

#include "WinCommandLine.h"

#include <windows.h>

#include <string>

namespace MW::Host {

inline constexpr const wchar_t* kServiceName = L"mwservice";

// Runs `line.verb` (not eV_None) for the program at `programPath`.
HRESULT runVerb(const WinCommandLine& line, const std::wstring& programPath);

} // namespace MW::Host
