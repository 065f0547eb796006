// mwconfig.exe: one instance per program file, "/hide", COM and the common
// controls, the main window and its message loop.
#include "CMainDlg.h"
#include "resource.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>

// The instance flag: in a section every process of this program file shares,
// set by the first instance and gone with the last.
extern "C" {
volatile LONG g_nInstanceFlag __attribute__((section("OneInsta"), shared)) = 0;
}

namespace {

int run(HINSTANCE instance, int show) {
    MW::Win::CMainDlg dialog;
    const HWND window = dialog.Create(instance, IDD_MAINDLG, nullptr);
    if (!window && !dialog.endedDuringCreation()) {
        std::fprintf(stderr, "mwconfig: the main window could not be created (error %lu)\n",
                     ::GetLastError());
        return 0;
    }
    // The command line as the system reports it, program path included.
    if (window && !dialog.endedDuringCreation() && !std::wcsstr(::GetCommandLineW(), L"/hide"))
        ::ShowWindow(window, show);
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (dialog.PreTranslateMessage(message))
            continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    if (::InterlockedCompareExchange(&g_nInstanceFlag, 1, 0) != 0) {
        // The first instance's main window, even when it is hidden in the tray.
        std::fputs("mwconfig: another instance runs; it is shown\n", stderr);
        if (const HWND first = ::FindWindowW(nullptr, L"Morrowick")) {
            ::ShowWindow(first, SW_SHOWNORMAL);
            ::SetForegroundWindow(first);
        }
        return 0;
    }
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_NONE,
                           RPC_C_IMP_LEVEL_IDENTIFY, nullptr, EOAC_NONE, nullptr);
    ::DefWindowProcW(nullptr, 0, 0, 0);
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_DATE_CLASSES};
    ::InitCommonControlsEx(&controls);
    const int status = run(instance, show);
    ::CoUninitialize();
    return status;
}
