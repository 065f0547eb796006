#include "Notify.h"

#include "ComError.h"
#include "UndeletedList.h"
#include "resource.h"

#include <cstdio>

namespace MW::Win {

std::wstring CTrayNotificationDlg::AnnouncementText(int count) {
    if (count == 1)
        return L"There is an undeleted file. Left click for details.";
    wchar_t text[128];
    std::swprintf(text, 128, L"There are %d undeleted files. Left click to show the full list.",
                  count);
    return text;
}

void CTrayNotificationDlg::SetText(const std::wstring& text) {
    m_strText = text;
    SetItemText(m_hWnd, IDC_NOTIFYTEXT, text);
}

bool CTrayNotificationDlg::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
    switch (message) {
    case WM_INITDIALOG: {
        // Bottom-right corner on the work area's, wherever the taskbar lies.
        RECT area{}, window{};
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        ::GetWindowRect(m_hWnd, &window);
        ::SetWindowPos(m_hWnd, nullptr, area.right - (window.right - window.left),
                       area.bottom - (window.bottom - window.top), 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SetItemText(m_hWnd, IDC_NOTIFYTEXT, m_strText);
        result = TRUE;
        return true;
    }
    case WM_PAINT: {
        // The shape is given once: setting a region repaints the window.
        if (m_bShaped)
            return false;
        m_bShaped = true;
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        const HRGN region = ::CreateRoundRectRgn(0, 0, client.right + 1, client.bottom + 1, 20, 20);
        // The window owns the region from here on.
        if (!::SetWindowRgn(m_hWnd, region, TRUE))
            ::DeleteObject(region);
        return false;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        // White with black text.
        result = reinterpret_cast<INT_PTR>(::GetStockObject(WHITE_BRUSH));
        return true;
    case WM_LBUTTONDOWN:
        if (m_bListReady) {
            CUndeletedFilesDlg list;
            list.m_strListPath = m_strListPath;
            list.DoModal(::GetModuleHandleW(nullptr), IDD_UNDELETEDFILES, m_hWnd);
        }
        ::ShowWindow(m_hWnd, SW_HIDE);
        return true;
    case WM_RBUTTONDOWN:
        ::ShowWindow(m_hWnd, SW_HIDE);
        return true;
    default:
        return false;
    }
}

bool CUndeletedFilesDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(m_hWnd, ::GetWindow(m_hWnd, GW_OWNER));
        fill();
        result = TRUE;
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(m_hWnd, LOWORD(wParam));
            return true;
        }
        return false;
    default:
        return false;
    }
}

void CUndeletedFilesDlg::fill() {
    const HWND list = ::GetDlgItem(m_hWnd, IDC_UNDELETEDLIST);
    // Read afresh each time, an unreadable file an empty list. The list may hold
    // millions of lines: the first 100,000 in the list's order are shown, then
    // one entry saying how many more there are; lines are cut at 4096 bytes.
    Client::SUndeletedEntries read = Client::ReadUndeletedEntries(Utf8(m_strListPath));
    std::vector<std::string>& entries = read.entries;
    if (read.more > 0)
        entries.push_back("\u2026 and " + std::to_string(read.more) + " more");
    // One redraw at the end instead of one per entry.
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(list, LB_INITSTORAGE, entries.size(), entries.size() * 64);
    RECT client{};
    ::GetClientRect(list, &client);
    const HDC dc = ::GetDC(list);
    const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    for (const std::string& entry : entries) {
        const std::wstring line = Wide(entry);
        SIZE size{};
        ::GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
        if (size.cx > client.right && size.cx > widest) {
            widest = size.cx;
            ::SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 3), 0);
        }
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(list, dc);
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

} // namespace MW::Win
