// mwservice.exe: with a verb it registers or unregisters itself and ends with
// the result as its exit code; without one it runs the Morrowick cleaning
// service, under the service control manager or as a COM local server.

#include "CMWServiceModule.h"
#include "TypeLib.h"
#include "Verbs.h"
#include "WinCommandLine.h"

#include <cstdio>
#include <objbase.h>
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace MW::Host;
    const WinCommandLine line = parseWinCommandLine(argumentsOf(::GetCommandLineW()));
    if (!line.error.empty()) {
        std::fprintf(stderr, "mwservice: %s\n\n%s", line.error.c_str(), winUsage().c_str());
        return E_INVALIDARG;
    }
    if (line.help) {
        std::fputs(winUsage().c_str(), stdout);
        return 0;
    }
    if (line.verb != EVerb::eV_None) {
        const HRESULT init = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        const HRESULT hr = runVerb(line, MW::COM::modulePath());
        if (SUCCEEDED(init))
            ::CoUninitialize();
        return hr;
    }
    static CMWServiceModule module;
    const int code = module.start();
    if (module.cleanerStuck()) {
        // Its thread cannot be joined, and what it uses must not be destroyed
        // under it: the process ends here, its settings saved.
        std::fflush(nullptr);
        ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(code));
    }
    return code;
}
