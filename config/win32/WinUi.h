#pragma once
// What every window of mwconfig.exe shares: dialog objects behind their
// procedures, control texts, message boxes, the banner.

#include <windows.h>

#include <string>

namespace MW::Win {

// A dialog object: the procedure finds it through the window's user data, set
// from the creation parameter at WM_INITDIALOG.
class CDialog {
public:
    virtual ~CDialog() = default;
    HWND hwnd() const { return m_hWnd; }
    // Modeless, child or pop-up, from a template.
    HWND Create(HINSTANCE instance, int templateId, HWND parent);
    // Modal; the dialog's end code.
    INT_PTR DoModal(HINSTANCE instance, int templateId, HWND owner);

protected:
    // true when handled, with `result` the procedure's answer.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) = 0;
    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

std::wstring ItemText(HWND dialog, int id);
bool SetItemText(HWND dialog, int id, const std::wstring& text);
// Enter starts a new line in multi-line edits: \n becomes \r\n for them.
std::wstring WithCrLf(const std::wstring& text);
std::wstring WithoutCr(const std::wstring& text);

// A message box. With MW_MESSAGE_LOG set (tests, scripted runs) it is appended
// to that file as "caption<TAB>text" (UTF-8, line breaks as \n) and answered
// OK at once instead of being shown.
int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);

// The PNG resource `id` decoded with GDI+, as a bitmap; null when there is none
// or it cannot be decoded.
HBITMAP LoadPngResource(HINSTANCE instance, int id);
// Shows the banner in a picture control of a page.
void ShowBanner(HWND page, int pictureId);

// Centres `dialog` on `owner` (the screen's work area without one), kept
// inside the monitor's work area.
void CenterWindow(HWND dialog, HWND owner);

} // namespace MW::Win
