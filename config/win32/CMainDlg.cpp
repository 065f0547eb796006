#include "CMainDlg.h"

#include "ComError.h"
#include "Formatting.h"
#include "Net.h"
#include "resource.h"

#include <commctrl.h>

namespace MW::Win {

namespace {
HINSTANCE instance() {
    return ::GetModuleHandleW(nullptr);
}
const wchar_t* const kContainerClass = L"MWDlgContainer";
} // namespace

// --- Tab host ---

void CTabHost::Attach(HWND tab) {
    m_hTab = tab;
    // Child, visible, clip siblings and children; a control parent, so that
    // dialog navigation enters the pages.
    ::SetWindowLongPtrW(tab, GWL_STYLE,
                        ::GetWindowLongPtrW(tab, GWL_STYLE) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    ::SetWindowLongPtrW(tab, GWL_EXSTYLE,
                        ::GetWindowLongPtrW(tab, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ContainerProc;
    wc.hInstance = instance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kContainerClass;
    ::RegisterClassExW(&wc);
    m_hContainer = ::CreateWindowExW(WS_EX_CONTROLPARENT, kContainerClass, L"",
                                     WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0,
                                     0, 0, 0, tab, nullptr, instance(), this);
    ::SetWindowLongPtrW(m_hContainer, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void CTabHost::AddPage(HWND page, const wchar_t* label) {
    ::SetParent(page, m_hContainer);
    ::ShowWindow(page, SW_HIDE);
    ::SetWindowLongPtrW(page, GWL_EXSTYLE,
                        ::GetWindowLongPtrW(page, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    m_pages.push_back(page);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(label);
    ::SendMessageW(m_hTab, TCM_INSERTITEMW, m_pages.size() - 1, reinterpret_cast<LPARAM>(&item));
    Place();
}

void CTabHost::Place() {
    RECT area{};
    ::GetClientRect(m_hTab, &area);
    ::SendMessageW(m_hTab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    ::SetWindowPos(m_hContainer, nullptr, area.left, area.top, area.right - area.left,
                   area.bottom - area.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (const HWND page = currentPage())
        ::SetWindowPos(page, nullptr, 0, 0, area.right - area.left, area.bottom - area.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CTabHost::ShowPage(int index) {
    if (index < 0 || index >= static_cast<int>(m_pages.size()))
        return false;
    if (index == m_nCurrent)
        return true;
    const HWND focus = ::GetFocus();
    const bool focusInside = focus && ::IsChild(m_hContainer, focus);
    const HWND old = currentPage();
    if (old)
        ::ShowWindow(old, SW_HIDE);
    m_nCurrent = index;
    RECT client{};
    ::GetClientRect(m_hContainer, &client);
    const HWND page = m_pages[static_cast<std::size_t>(index)];
    ::SetWindowPos(page, nullptr, 0, 0, client.right, client.bottom,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (!old || focusInside)
        if (const HWND first = ::GetNextDlgTabItem(page, nullptr, FALSE))
            ::SetFocus(first);
    return true;
}

LRESULT CALLBACK CTabHost::ContainerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CTabHost*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_SETFOCUS:
        if (self && self->currentPage())
            if (const HWND first = ::GetNextDlgTabItem(self->currentPage(), nullptr, FALSE))
                ::SetFocus(first);
        return 0;
    default:
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// --- Main dialog ---

CMainDlg::CMainDlg()
    : m_uTrayMessage(::RegisterWindowMessageW(L"WM_TRAYICON")),
      m_session(m_link, *this, [](const Client::SSystemProxy& before) { return ReadSystemProxy(before); },
                eES_ServiceUnreachable) {
    m_tray.cbSize = sizeof m_tray;
    m_settings.m_proxyDlg.m_readSystemProxy = [](const Client::SSystemProxy& before) {
        return ReadSystemProxy(before);
    };
}

CMainDlg::~CMainDlg() {
    m_link.observer().setOwner(nullptr);
    removeTrayIcon();
}

void CMainDlg::initialise() {
    CenterWindow(m_hWnd, nullptr);
    const HICON big = static_cast<HICON>(
        ::LoadImageW(instance(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                     ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    const HICON small = static_cast<HICON>(
        ::LoadImageW(instance(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                     ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                     LR_DEFAULTCOLOR));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));

    m_tabs.Attach(::GetDlgItem(m_hWnd, IDC_TAB));
    m_overview.Create(instance(), IDD_OVERVIEW, m_hWnd);
    m_settings.Create(instance(), IDD_SETTINGS, m_hWnd);
    m_contact.Create(instance(), IDD_CONTACTUS, m_hWnd);
    m_popup.Create(instance(), IDD_TRAYNOTIFICATION, m_hWnd);
    // The tab labels keep their blanks.
    m_tabs.AddPage(m_overview.hwnd(), L"  Overview  ");
    m_tabs.AddPage(m_settings.hwnd(), L"  Settings  ");
    m_tabs.AddPage(m_contact.hwnd(), L" Contact Us ");
    const HWND tab = ::GetDlgItem(m_hWnd, IDC_TAB);
    if (::SendMessageW(tab, TCM_SETCURSEL, 0, 0) != -1)
        m_tabs.ShowPage(0);

    m_tray.hWnd = m_hWnd;
    m_tray.uID = IDR_TRAYMENU;
    m_tray.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_tray.hIcon = small;
    m_tray.uCallbackMessage = m_uTrayMessage;
    // "Morrowik" is the tip the users know: kept as it is on purpose.
    ::lstrcpynW(m_tray.szTip, L"Morrowik Configurator", ARRAYSIZE(m_tray.szTip));
    m_bTrayInstalled = ::Shell_NotifyIconW(NIM_ADD, &m_tray);

    applyEditable();
    if (!m_session.ConnectService(true))
        return;
    m_link.observer().setOwner(this);
    ::SetForegroundWindow(m_hWnd);
}

bool CMainDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (message == m_uTrayMessage && m_uTrayMessage != 0) {
        trayMessage(wParam, lParam);
        return true;
    }
    switch (message) {
    case WM_INITDIALOG:
        initialise();
        result = TRUE;
        return true;
    case WM_CLOSE:
        // Only another program sends it: the close box arrives as SC_CLOSE.
        m_session.SaveSettingsAtEnd(false);
        shutdown(eES_CloseRequest, true);
        return true;
    case WM_QUERYENDSESSION:
        m_session.SaveSettingsAtEnd(true);
        shutdown(eES_Exit, true);
        result = TRUE;
        return true;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MINIMIZE || (wParam & 0xFFF0) == SC_CLOSE) {
            m_session.SaveSettings(true);
            hide();
            return true;
        }
        return false;
    case kSettingsChanged:
        m_session.SaveSettings(true);
        return true;
    case kReconnect:
        m_session.ConnectService(true);
        return true;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_TAB && header->code == TCN_SELCHANGE) {
            m_tabs.ShowPage(static_cast<int>(::SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
            return true;
        }
        return false;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:     // "Test it", the hidden default button: Enter does nothing
        case IDCANCEL: // Escape neither closes nor hides
            return true;
        case ID_TRAY_SHOW:
            show();
            return true;
        case ID_TRAY_EXIT:
            m_session.SaveSettingsAtEnd(true);
            shutdown(eES_Exit, true);
            return true;
        default:
            return false;
        }
    default:
        return false;
    }
}

bool CMainDlg::PreTranslateMessage(MSG& message) {
    if (!m_hWnd)
        return false;
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
        switch (::GetDlgCtrlID(message.hwnd)) {
        case IDC_BROWSE:
        case IDC_SCANNOW:
        case IDC_RESETCOUNT:
        case IDC_SEND:
        case IDC_SETPROXY:
            ::SendMessageW(message.hwnd, BM_CLICK, 0, 0);
            return true;
        default:
            break;
        }
    }
    return ::IsDialogMessageW(m_hWnd, &message);
}

void CMainDlg::show() {
    if (!::IsWindowVisible(m_hWnd))
        ::ShowWindow(m_hWnd, SW_SHOW);
    if (::IsIconic(m_hWnd))
        ::ShowWindow(m_hWnd, SW_RESTORE);
    else
        ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetForegroundWindow(m_hWnd);
}

void CMainDlg::hide() {
    ::ShowWindow(m_hWnd, SW_HIDE);
}

void CMainDlg::removeTrayIcon() {
    if (!m_bTrayInstalled)
        return;
    m_tray.uFlags = 0;
    ::Shell_NotifyIconW(NIM_DELETE, &m_tray);
    m_bTrayInstalled = false;
}

void CMainDlg::shutdown(int status, bool unadvise) {
    m_session.setEnding();
    if (unadvise)
        m_link.UnadviseEngine();
    removeTrayIcon();
    m_bEnded = true;
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
    ::PostQuitMessage(status);
}

void CMainDlg::trayMessage(WPARAM id, LPARAM mouse) {
    if (id != IDR_TRAYMENU)
        return;
    switch (LOWORD(mouse)) {
    case WM_RBUTTONUP: {
        const HMENU menu = ::LoadMenuW(instance(), MAKEINTRESOURCEW(IDR_TRAYMENU));
        const HMENU popup = ::GetSubMenu(menu, 0);
        POINT cursor{};
        ::GetCursorPos(&cursor);
        ::SetForegroundWindow(m_hWnd);
        ::SetMenuDefaultItem(popup, 0, TRUE);
        // A cursor on no monitor (a screen removed) is brought onto the nearest one.
        if (!::MonitorFromPoint(cursor, MONITOR_DEFAULTTONULL)) {
            MONITORINFO monitor{};
            monitor.cbSize = sizeof monitor;
            ::GetMonitorInfoW(::MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor);
            cursor.x = std::max<LONG>(monitor.rcWork.left, std::min<LONG>(cursor.x, monitor.rcWork.right));
        }
        ::TrackPopupMenu(popup, TPM_LEFTALIGN, cursor.x, cursor.y, 0, m_hWnd, nullptr);
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
        ::DestroyMenu(menu);
        return;
    }
    case WM_LBUTTONDBLCLK: {
        ::SetForegroundWindow(m_hWnd);
        const HMENU menu = ::LoadMenuW(instance(), MAKEINTRESOURCEW(IDR_TRAYMENU));
        const UINT first = ::GetMenuItemID(::GetSubMenu(menu, 0), 0);
        ::SendMessageW(m_hWnd, WM_COMMAND, first, 0);
        ::DestroyMenu(menu);
        return;
    }
    default:
        return;
    }
}

// --- The session's view ---

void CMainDlg::ShowMessage(EOwner owner, EIcon icon, const std::string& text,
                           const std::string& caption) {
    const HWND window = owner == EOwner::MainWindow    ? m_hWnd
                        : owner == EOwner::SettingsPage ? m_settings.hwnd()
                                                        : nullptr;
    const UINT type = icon == EIcon::Error ? MB_OK | MB_ICONERROR | MB_SYSTEMMODAL : MB_OK;
    Win::ShowMessage(window, Wide(text), Wide(caption), type);
}

Client::SSettingsValues CMainDlg::ShownSettings() {
    Client::SSettingsValues values;
    m_settings.TakeValues(values, false);
    values.contactName = Utf8(m_contact.GetName());
    values.contactEmail = Utf8(m_contact.GetEmail());
    return values;
}

Client::SSettingsValues CMainDlg::SettingsToSave() {
    Client::SSettingsValues values;
    m_settings.TakeValues(values, true);
    values.contactName = Utf8(m_contact.GetName());
    values.contactEmail = Utf8(m_contact.GetEmail());
    return values;
}

void CMainDlg::ShowSettings(const Client::SSettingsValues& values) {
    m_settings.ShowValues(values);
    m_contact.SetName(Wide(values.contactName));
    m_contact.SetEmail(Wide(values.contactEmail));
}

void CMainDlg::ShowSetting(Client::EProperty property, const Client::SSettingsValues& values) {
    if (property == Client::EProperty::ContactName)
        m_contact.SetName(Wide(values.contactName));
    else if (property == Client::EProperty::ContactEmail)
        m_contact.SetEmail(Wide(values.contactEmail));
    else
        m_settings.ShowValue(property, values);
}

void CMainDlg::SetContactProxy(const Client::SContactProxy& proxy) {
    m_contact.SetProxy(Wide(proxy.server), proxy.port);
}

void CMainDlg::SetLastScan(const std::string& text) {
    m_overview.SetLastScan(Wide(text));
}

void CMainDlg::SetCleanedSpace(std::uint64_t bytes) {
    m_overview.SetCleanedSpace(Wide(Client::FormatMegabytes(bytes)));
}

void CMainDlg::SetScanRunning(bool running) {
    m_settings.EnableStartTime(!running);
    m_overview.EnableScanButtons(!running);
}

void CMainDlg::SetReadOnly(bool readOnly, const std::string& group) {
    m_bReadOnly = readOnly;
    m_strGroup = Wide(group);
    applyEditable();
}

void CMainDlg::SetLoaded(bool loaded) {
    m_bLoaded = loaded;
    applyEditable();
}

void CMainDlg::applyEditable() {
    m_settings.SetEditable(m_bLoaded, m_bReadOnly, m_strGroup);
    m_overview.SetReadOnly(m_bReadOnly);
    m_contact.SetReadOnly(m_bReadOnly);
}

void CMainDlg::SetConnected(bool connected) {
    m_overview.SetEngine(connected ? &m_link : nullptr);
}

void CMainDlg::AnnounceUndeleted(std::int32_t count, const std::string& listPath) {
    m_popup.SetText(CTrayNotificationDlg::AnnouncementText(count));
    m_popup.m_strListPath = Wide(listPath);
    m_popup.m_bListReady = true;
    ::ShowWindow(m_popup.hwnd(), SW_SHOWNOACTIVATE);
}

void CMainDlg::EndProgram(int status) {
    // Nothing is saved and the sink is left as it is: there is no service.
    shutdown(status, false);
}

} // namespace MW::Win
