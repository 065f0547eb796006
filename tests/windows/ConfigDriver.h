#pragma once
// Drives the real mwconfig.exe from another process, as a user's other program
// or a test robot would: starting it, finding its windows and controls, reading
// them, and pictures of them.

#include <windows.h>

#include <chrono>
#include <string>

namespace MW::Test {

class CConfigProcess {
public:
    CConfigProcess() = default;
    ~CConfigProcess() { end(); }
    CConfigProcess(const CConfigProcess&) = delete;
    CConfigProcess& operator=(const CConfigProcess&) = delete;

    // Starts mwconfig.exe with `arguments`, its message boxes logged to
    // `messageLog`; with `waitForWindow`, returns its main window once the
    // values are loaded (null when it did not appear).
    HWND start(const std::wstring& arguments, const std::wstring& messageLog,
               bool waitForWindow = true);
    // Its exit status (waits up to a minute; 0xFFFFFFFE when it did not end).
    DWORD waitForExit();
    // Ends a program still running ("Exit", then termination).
    void end();

private:
    PROCESS_INFORMATION m_process{};
};

// Runs mwconfig.exe to its end; its exit status.
DWORD runConfig(const std::wstring& arguments);

// A control of any page or dialog below `window`, by id.
HWND control(HWND window, int id);
std::wstring itemText(HWND window, int id);
bool checked(HWND window, int id);
// The tab control's next tab, as the arrow key selects it.
void selectNextTab(HWND main);
// The first visible top-level window holding a control `id`.
HWND waitForWindowWith(int id, std::chrono::seconds timeout);
// The window as the screen shows it, as <build>/screenshots/windows/NAME.png.
void saveScreenshot(HWND window, const std::string& name);

} // namespace MW::Test
