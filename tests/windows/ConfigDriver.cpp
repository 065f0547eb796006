#include "ConfigDriver.h"

#include "Wait.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace MW::Test {

using namespace std::chrono_literals;

namespace {

struct SFind {
    int id;
    HWND found = nullptr;
};

BOOL CALLBACK findChild(HWND window, LPARAM data) {
    auto* find = reinterpret_cast<SFind*>(data);
    if (::GetDlgCtrlID(window) == find->id) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK findTop(HWND window, LPARAM data) {
    auto* find = reinterpret_cast<SFind*>(data);
    if (::IsWindowVisible(window) && ::GetDlgItem(window, find->id)) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND mainWindowOf(DWORD processId) {
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, L"#32770", L"Morrowick")) != nullptr) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == processId && ::GetDlgItem(window, 1000))
            return window;
    }
    return nullptr;
}

bool launch(const std::wstring& arguments, PROCESS_INFORMATION& process) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring line = L"\"" + std::wstring(MW_CONFIG_EXE) + L"\" " + arguments;
    return ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process);
}

} // namespace

HWND CConfigProcess::start(const std::wstring& arguments, const std::wstring& messageLog,
                           bool waitForWindow) {
    end();
    ::SetEnvironmentVariableW(L"MW_MESSAGE_LOG", messageLog.c_str());
    if (!launch(arguments, m_process))
        return nullptr;
    if (!waitForWindow)
        return nullptr;
    HWND main = nullptr;
    // Loaded: the Settings page's controls are enabled once the values are in.
    waitUntil(
        [&] {
            main = mainWindowOf(m_process.dwProcessId);
            return main && ::IsWindowEnabled(control(main, 1002));
        },
        std::chrono::seconds(std::getenv("MW_TEST_QUICK") ? 20 : 90));
    if (main && !::IsWindowEnabled(control(main, 1002)))
        std::fprintf(stderr, "mwconfig's window found, its values not loaded\n");
    DWORD code = STILL_ACTIVE;
    if (!main && ::GetExitCodeProcess(m_process.hProcess, &code))
        std::fprintf(stderr, "no window of mwconfig (exit status %ld)\n", static_cast<long>(code));
    return main;
}

DWORD CConfigProcess::waitForExit() {
    if (!m_process.hProcess)
        return 0xFFFFFFFD;
    DWORD code = 0xFFFFFFFE;
    if (::WaitForSingleObject(m_process.hProcess, 60000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(m_process.hProcess, &code);
    else
        ::TerminateProcess(m_process.hProcess, code);
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
    m_process = {};
    return code;
}

void CConfigProcess::end() {
    if (!m_process.hProcess)
        return;
    if (const HWND main = mainWindowOf(m_process.dwProcessId))
        ::PostMessageW(main, WM_COMMAND, 32776, 0);
    waitForExit();
}

DWORD runConfig(const std::wstring& arguments) {
    PROCESS_INFORMATION process{};
    if (!launch(arguments, process))
        return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFE;
    if (::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(process.hProcess, &code);
    else
        ::TerminateProcess(process.hProcess, code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

HWND control(HWND window, int id) {
    SFind find{id};
    ::EnumChildWindows(window, findChild, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

std::wstring itemText(HWND window, int id) {
    // WM_GETTEXT, not GetWindowText: across processes that one gives the
    // window's title, which an edit does not keep.
    wchar_t text[4096] = {};
    ::SendMessageW(control(window, id), WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    return text;
}

bool checked(HWND window, int id) {
    return ::SendMessageW(control(window, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void selectNextTab(HWND main) {
    const HWND tab = ::GetDlgItem(main, 1000);
    ::PostMessageW(tab, WM_KEYDOWN, VK_RIGHT, 0);
    ::PostMessageW(tab, WM_KEYUP, VK_RIGHT, 0);
    ::SendMessageW(main, WM_NULL, 0, 0);
}

HWND waitForWindowWith(int id, std::chrono::seconds timeout) {
    SFind find{id};
    waitUntil(
        [&] {
            find.found = nullptr;
            ::EnumWindows(findTop, reinterpret_cast<LPARAM>(&find));
            return find.found != nullptr;
        },
        timeout);
    return find.found;
}

void saveScreenshot(HWND window, const std::string& name) {
    // Let the window finish painting first.
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::Sleep(500);
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::SelectObject(memory, old);

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    Gdiplus::GpBitmap* image = nullptr;
    Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image);
    const std::filesystem::path folder = std::filesystem::path(MW_SCREENSHOT_DIR);
    std::filesystem::create_directories(folder);
    const std::wstring file = (folder / (name + ".png")).wstring();
    // The PNG encoder.
    const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    if (image) {
        Gdiplus::DllExports::GdipSaveImageToFile(image, file.c_str(), &png, nullptr);
        Gdiplus::DllExports::GdipDisposeImage(image);
    }
    Gdiplus::GdiplusShutdown(token);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
}

} // namespace MW::Test
