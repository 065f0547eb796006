#include "ComError.h"
#include "FileTypes.h"
#include "Formatting.h"
#include "OleDateTime.h"
#include "Pages.h"
#include "resource.h"

#include <commctrl.h>
#include <oleauto.h>
#include <shlobj.h>

#include <cwctype>

namespace MW::Win {

using Client::EProperty;

const wchar_t* const CSettingsDlg::kInvalidLocation =
    L"The Drive/Folder location specified is not a valid location. Please try again.";

bool CSettingsDlg::IsValidLocation(const std::wstring& path) {
    // A drive letter with its root ("C:\...") or a share ("\\server\share\..."):
    // "C:folder" and "\folder" depend on the current drive and folder.
    const bool drive = path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' &&
                       (path[2] == L'\\' || path[2] == L'/');
    const bool share = path.size() >= 3 && (path[0] == L'\\' || path[0] == L'/') &&
                       (path[1] == L'\\' || path[1] == L'/');
    if (!drive && !share)
        return false;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CSettingsDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_INITDIALOG:
        ShowBanner(m_hWnd, IDC_SETTINGS_BANNER);
        SetItemText(m_hWnd, IDC_FOLDER, m_strFolder);
        ::CheckRadioButton(m_hWnd, IDC_AGE_DAY, IDC_AGE_YEAR, IDC_AGE_DAY);
        applyEnabled();
        result = TRUE;
        return true;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_BROWSE:
            browse();
            return true;
        case IDC_SETPROXY:
            if (m_proxyDlg.DoModal(::GetModuleHandleW(nullptr), IDD_PROXY, ::GetActiveWindow()) ==
                IDOK)
                ::SendMessageW(MainWindowOf(m_hWnd), kSettingsChanged, 0, 0);
            return true;
        case IDC_FOLDER:
            if (HIWORD(wParam) != EN_KILLFOCUS)
                return false;
            onFolderKillFocus();
            return true;
        default:
            return false;
        }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom != IDC_STARTTIME || header->code != NM_KILLFOCUS)
            return false;
        onStartTimeKillFocus();
        return true;
    }
    default:
        return false;
    }
}

void CSettingsDlg::onFolderKillFocus() {
    const std::wstring previous = m_strFolder;
    m_strFolder = ItemText(m_hWnd, IDC_FOLDER);
    if (m_strFolder == previous || IsValidLocation(m_strFolder))
        return;
    ShowMessage(m_hWnd, kInvalidLocation, L"Warning!", MB_OK | MB_ICONWARNING | MB_SYSTEMMODAL);
    m_strFolder = previous;
    SetItemText(m_hWnd, IDC_FOLDER, m_strFolder);
}

double CSettingsDlg::pickerTime() const {
    SYSTEMTIME time{};
    if (::SendDlgItemMessageW(m_hWnd, IDC_STARTTIME, DTM_GETSYSTEMTIME, 0,
                              reinterpret_cast<LPARAM>(&time)) != GDT_VALID)
        return m_startTime;
    double date = 0;
    return ::SystemTimeToVariantTime(&time, &date) ? date : m_startTime;
}

void CSettingsDlg::onStartTimeKillFocus() {
    const double picked = pickerTime();
    if (m_bStartTimeValid && OleDate::sameMoment(picked, m_startTime))
        return;
    m_startTime = picked;
    m_bStartTimeValid = true;
    ::SendMessageW(MainWindowOf(m_hWnd), kSettingsChanged, 0, 0);
}

void CSettingsDlg::browse() {
    BROWSEINFOW info{};
    info.hwndOwner = ::GetActiveWindow();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info);
    if (!chosen)
        return;
    wchar_t path[MAX_PATH] = {};
    if (::SHGetPathFromIDListW(chosen, path)) {
        m_strFolder = path;
        SetItemText(m_hWnd, IDC_FOLDER, m_strFolder);
    }
    ::CoTaskMemFree(chosen);
}

void CSettingsDlg::showStartTime() {
    SYSTEMTIME time{};
    if (m_bStartTimeValid && ::VariantTimeToSystemTime(m_startTime, &time))
        ::SendDlgItemMessageW(m_hWnd, IDC_STARTTIME, DTM_SETSYSTEMTIME, GDT_VALID,
                              reinterpret_cast<LPARAM>(&time));
}

void CSettingsDlg::TakeValues(Client::SSettingsValues& values, bool typedFolder) {
    values.scanFolder = Utf8(typedFolder ? ItemText(m_hWnd, IDC_FOLDER) : m_strFolder);
    if (typedFolder)
        m_strFolder = ItemText(m_hWnd, IDC_FOLDER);
    Client::FileTypeFlags flags{};
    for (int id = IDC_TYPE_FIRST; id <= IDC_TYPE_LAST; ++id)
        flags[static_cast<std::size_t>(id - IDC_TYPE_FIRST)] =
            ::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
    values.fileTypes = Client::BuildFileTypes(flags);
    values.otherFileTypes = Utf8(ItemText(m_hWnd, IDC_OTHERTYPES));
    values.deleteAge = -1;
    for (int id = IDC_AGE_DAY; id <= IDC_AGE_YEAR; ++id)
        if (::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED)
            values.deleteAge = id - IDC_AGE_DAY;
    // The picker shows the time of day; its date is the one last put into it.
    values.startTime = m_bStartTimeValid ? pickerTime() : m_startTime;
    if (typedFolder && m_bStartTimeValid)
        m_startTime = values.startTime;
    values.proxy = m_proxyDlg.m_values;
}

void CSettingsDlg::ShowValues(const Client::SSettingsValues& values) {
    for (const EProperty property :
         {EProperty::ScanFolder, EProperty::FileTypes, EProperty::OtherFileTypes,
          EProperty::DeleteAge, EProperty::StartTime, EProperty::ProxyServer})
        ShowValue(property, values);
}

void CSettingsDlg::ShowValue(EProperty property, const Client::SSettingsValues& values) {
    switch (property) {
    case EProperty::ScanFolder:
        m_strFolder = Wide(values.scanFolder);
        SetItemText(m_hWnd, IDC_FOLDER, m_strFolder);
        return;
    case EProperty::FileTypes: {
        const Client::FileTypeFlags flags = Client::ApplyFileTypes(values.fileTypes);
        for (int id = IDC_TYPE_FIRST; id <= IDC_TYPE_LAST; ++id)
            ::CheckDlgButton(m_hWnd, id,
                             flags[static_cast<std::size_t>(id - IDC_TYPE_FIRST)] ? BST_CHECKED
                                                                                 : BST_UNCHECKED);
        return;
    }
    case EProperty::OtherFileTypes:
        SetItemText(m_hWnd, IDC_OTHERTYPES, Wide(values.otherFileTypes));
        return;
    case EProperty::DeleteAge:
        for (int id = IDC_AGE_DAY; id <= IDC_AGE_YEAR; ++id)
            ::CheckDlgButton(m_hWnd, id,
                             id - IDC_AGE_DAY == values.deleteAge ? BST_CHECKED : BST_UNCHECKED);
        return;
    case EProperty::StartTime:
        m_startTime = values.startTime;
        m_bStartTimeValid = true;
        showStartTime();
        return;
    default:
        // The proxy values live in the proxy dialog, shown when it opens.
        m_proxyDlg.m_values = values.proxy;
        return;
    }
}

void CSettingsDlg::EnableStartTime(bool enable) {
    m_bStartTimeEnabled = enable;
    applyEnabled();
}

void CSettingsDlg::SetEditable(bool loaded, bool readOnly, const std::wstring& group) {
    m_bLoaded = loaded;
    m_bReadOnly = readOnly;
    applyEnabled();
    HWND notice = ::GetDlgItem(m_hWnd, IDC_SETTINGS_NOTICE);
    std::wstring text;
    if (readOnly)
        text = L"Only administrators and members of the group \u201C" + group +
               L"\u201D can change these settings.";
    else if (!loaded)
        text = L"These settings could not be read from the service and cannot be changed until "
               L"they are.";
    if (text.empty()) {
        if (notice)
            ::ShowWindow(notice, SW_HIDE);
        return;
    }
    if (!notice) {
        // Below the file types, where the page has room for two lines.
        RECT box{24, 230, 284, 242};
        ::MapDialogRect(m_hWnd, &box);
        notice = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT, box.left, box.top,
                                   box.right - box.left, box.bottom - box.top, m_hWnd,
                                   reinterpret_cast<HMENU>(IDC_SETTINGS_NOTICE),
                                   ::GetModuleHandleW(nullptr), nullptr);
        ::SendMessageW(notice, WM_SETFONT, ::SendMessageW(m_hWnd, WM_GETFONT, 0, 0), TRUE);
    }
    ::SetWindowTextW(notice, text.c_str());
    ::ShowWindow(notice, SW_SHOW);
}

void CSettingsDlg::applyEnabled() {
    const bool editable = m_bLoaded && !m_bReadOnly;
    for (const int id : {IDC_FOLDER, IDC_BROWSE, IDC_OTHERTYPES, IDC_SETPROXY})
        ::EnableWindow(::GetDlgItem(m_hWnd, id), editable);
    for (int id = IDC_TYPE_FIRST; id <= IDC_TYPE_LAST; ++id)
        ::EnableWindow(::GetDlgItem(m_hWnd, id), editable);
    for (int id = IDC_AGE_DAY; id <= IDC_AGE_YEAR; ++id)
        ::EnableWindow(::GetDlgItem(m_hWnd, id), editable);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_STARTTIME), editable && m_bStartTimeEnabled);
}

// The proxy dialog.

void CProxyDlg::applyRule() {
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_USESYSPROXY), m_values.useProxy);
    const bool edits = m_values.useProxy && !m_values.useSystemProxy;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_PROXYSERVER), edits);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_PROXYPORT), edits);
}

void CProxyDlg::readControls() {
    m_values.useProxy = ::IsDlgButtonChecked(m_hWnd, IDC_USEPROXY) == BST_CHECKED;
    m_values.server = Utf8(ItemText(m_hWnd, IDC_PROXYSERVER));
    m_values.port = Utf8(ItemText(m_hWnd, IDC_PROXYPORT));
    m_values.useSystemProxy = ::IsDlgButtonChecked(m_hWnd, IDC_USESYSPROXY) == BST_CHECKED;
}

bool CProxyDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(m_hWnd, ::GetWindow(m_hWnd, GW_OWNER));
        ::CheckDlgButton(m_hWnd, IDC_USEPROXY, m_values.useProxy ? BST_CHECKED : BST_UNCHECKED);
        if (SetItemText(m_hWnd, IDC_PROXYSERVER, Wide(m_values.server)) &&
            SetItemText(m_hWnd, IDC_PROXYPORT, Wide(m_values.port)))
            ::CheckDlgButton(m_hWnd, IDC_USESYSPROXY,
                             m_values.useSystemProxy ? BST_CHECKED : BST_UNCHECKED);
        m_bUseProxyAtOpen = m_values.useProxy;
        m_bUseSystemProxyAtOpen = m_values.useSystemProxy;
        applyRule();
        result = TRUE;
        return true;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_USEPROXY:
            readControls();
            applyRule();
            return true;
        case IDC_USESYSPROXY:
            m_values.useSystemProxy = ::IsDlgButtonChecked(m_hWnd, IDC_USESYSPROXY) == BST_CHECKED;
            applyRule();
            return true;
        case IDOK: {
            readControls();
            m_values.server = Client::TrimmedText(m_values.server);
            m_values.port = Client::TrimmedText(m_values.port);
            if (m_values.useProxy && !m_values.useSystemProxy &&
                (m_values.server.empty() || m_values.port.empty())) {
                ShowMessage(m_hWnd, L"Please provide information in all fields.", L"Warning!",
                            MB_OK | MB_ICONWARNING | MB_SYSTEMMODAL);
                return true;
            }
            if (m_values.useSystemProxy && !m_bUseSystemProxyAtOpen && m_readSystemProxy) {
                try {
                    const Client::SSystemProxy system = m_readSystemProxy(
                        {m_values.sysAccessType, m_values.sysServer, m_values.sysBypass});
                    m_values.sysAccessType = system.accessType;
                    m_values.sysServer = system.server;
                    m_values.sysBypass = system.bypass;
                } catch (const Client::CSystemProxyError& error) {
                    // Shown, and the dialog stays open for another choice.
                    ShowMessage(m_hWnd, Wide(error.what()), L"Error!",
                                MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
                    return true;
                }
            }
            ::EndDialog(m_hWnd, IDOK);
            return true;
        }
        case IDCANCEL:
            m_values.useProxy = m_bUseProxyAtOpen;
            m_values.useSystemProxy = m_bUseSystemProxyAtOpen;
            ::EndDialog(m_hWnd, IDCANCEL);
            return true;
        default:
            return false;
        }
    default:
        return false;
    }
}

} // namespace MW::Win
