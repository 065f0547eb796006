#include "CComLink.h"
#include "ComError.h"
#include "Pages.h"
#include "resource.h"

namespace MW::Win {

// "recconect" (Scan Now) and "reconnect" (Reset Count) are the texts the users
// know: kept as they are on purpose.
const wchar_t* const COverviewDlg::kScanUnavailable = L"Service is unavailable. Trying to recconect...";
const wchar_t* const COverviewDlg::kResetUnavailable = L"Service is unavailable. Trying to reconnect...";

HWND MainWindowOf(HWND page) {
    return ::GetParent(::GetParent(::GetParent(page)));
}

bool COverviewDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    switch (message) {
    case WM_INITDIALOG:
        m_pEngine = nullptr;
        ShowBanner(m_hWnd, IDC_OVERVIEW_BANNER);
        // Both texts are empty here, so the template's placeholders never show.
        SetItemText(m_hWnd, IDC_LASTSCAN, m_strLastScan);
        SetItemText(m_hWnd, IDC_CLEANEDSPACE, m_strCleanedSpace);
        result = TRUE;
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_SCANNOW)
            ScanNow();
        else if (LOWORD(wParam) == IDC_RESETCOUNT)
            ResetCount();
        else
            return false;
        return true;
    default:
        return false;
    }
}

void COverviewDlg::SetLastScan(const std::wstring& text) {
    m_strLastScan = text;
    SetItemText(m_hWnd, IDC_LASTSCAN, text);
}

void COverviewDlg::SetCleanedSpace(const std::wstring& text) {
    m_strCleanedSpace = text;
    SetItemText(m_hWnd, IDC_CLEANEDSPACE, text);
}

void COverviewDlg::EnableScanButtons(bool enable) {
    m_bScanButtons = enable;
    applyButtons();
}

void COverviewDlg::SetReadOnly(bool readOnly) {
    m_bReadOnly = readOnly;
    applyButtons();
}

void COverviewDlg::applyButtons() {
    const bool enable = m_bScanButtons && !m_bReadOnly;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SCANNOW), enable);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_RESETCOUNT), enable);
}

void COverviewDlg::ScanNow() {
    const HWND main = MainWindowOf(m_hWnd);
    if (!m_pEngine) {
        ShowMessage(m_hWnd, kScanUnavailable, L"Error!", MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
        ::SendMessageW(main, kReconnect, 0, 0);
        return;
    }
    try {
        EnableScanButtons(false);
        // The scan-started event may arrive while this call waits; its
        // reaction disables the buttons again and does not rely on this
        // command having returned.
        m_pEngine->scanNow();
    } catch (const CComError& error) {
        m_pEngine = nullptr;
        ShowMessage(m_hWnd, L"Scanning failed." + error.ErrorMessage() + L"  Trying to reconnect...",
                    L"Error!", MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
        EnableScanButtons(true);
        ::SendMessageW(main, kReconnect, 0, 0);
    }
}

void COverviewDlg::ResetCount() {
    const HWND main = MainWindowOf(m_hWnd);
    if (!m_pEngine) {
        ShowMessage(m_hWnd, kResetUnavailable, L"Error!", MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
        ::SendMessageW(main, kReconnect, 0, 0);
        return;
    }
    try {
        IConfig* config = m_pEngine->QueryConfig();
        if (!config)
            throw CComError(E_POINTER, ::IID_IConfig);
        CComConfigObject(config).set(Client::EProperty::CleanedSpace, std::uint64_t{0});
        SetCleanedSpace(L"0.00");
    } catch (const CComError& error) {
        m_pEngine = nullptr;
        ShowMessage(m_hWnd,
                    L"Failed to reset cleaned space." + error.ErrorMessage() +
                        L"  Trying to reconnect...",
                    L"Error!", MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
        ::SendMessageW(main, kReconnect, 0, 0);
    }
}

} // namespace MW::Win
