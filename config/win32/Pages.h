#pragma once
// The three tab pages and the proxy dialog. They hold the values the session
// gives them and give them back; none talks to the service except the Overview's
// two commands, which call the engine the main window hands them.

#include "ConfigTransfer.h"
#include "WinUi.h"

#include <cstdint>
#include <functional>
#include <string>

namespace MW::Win {

class CComLink;
struct SPostOutcome;

// The main window's messages: a page asks for a save, or for a new connection.
inline constexpr UINT kSettingsChanged = WM_USER + 1;
inline constexpr UINT kReconnect = WM_USER + 2;
// The Contact tab's request has ended; lParam owns an SPostOutcome.
inline constexpr UINT kSendEnded = WM_USER + 3;
// The main window, three parents up from a page (container, tab control, dialog).
HWND MainWindowOf(HWND page);

class COverviewDlg final : public CDialog {
public:
    void SetLastScan(const std::wstring& text);
    void SetCleanedSpace(const std::wstring& text);
    void EnableScanButtons(bool enable);
    // The engine for the two commands; null while not connected.
    void SetEngine(CComLink* engine) { m_pEngine = engine; }
    // The service refuses this user's changes: the commands stay disabled.
    void SetReadOnly(bool readOnly);

    static const wchar_t* const kScanUnavailable;
    static const wchar_t* const kResetUnavailable;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void ScanNow();
    void ResetCount();
    void applyButtons();

    std::wstring m_strLastScan;
    std::wstring m_strCleanedSpace;
    CComLink* m_pEngine = nullptr;
    bool m_bScanButtons = true;
    bool m_bReadOnly = false;
};

class CProxyDlg final : public CDialog {
public:
    Client::SProxyValues m_values;
    // Reads the system's proxy configuration (the HTTP client's reader).
    std::function<Client::SSystemProxy(const Client::SSystemProxy&)> m_readSystemProxy;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void readControls();
    void applyRule();
    bool m_bUseProxyAtOpen = false;
    bool m_bUseSystemProxyAtOpen = false;
};

class CSettingsDlg final : public CDialog {
public:
    // Every setting of the page and its proxy dialog into `values`; with
    // `typedFolder` the folder edit's text as typed, else the page's folder.
    void TakeValues(Client::SSettingsValues& values, bool typedFolder);
    void ShowValues(const Client::SSettingsValues& values);
    void ShowValue(Client::EProperty property, const Client::SSettingsValues& values);
    void EnableStartTime(bool enable);
    // Until the service's values are loaded, or when it refuses this user's
    // changes, nothing on the page invites an edit.
    void SetEditable(bool loaded, bool readOnly, const std::wstring& group);

    // An existing directory named by an absolute path (a drive root included);
    // a relative path would be taken from the service's own working folder.
    static bool IsValidLocation(const std::wstring& path);
    static const wchar_t* const kInvalidLocation;

    CProxyDlg m_proxyDlg;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void onFolderKillFocus();
    void onStartTimeKillFocus();
    void browse();
    void showStartTime();
    double pickerTime() const;
    void applyEnabled();

    std::wstring m_strFolder = L"C:\\";
    double m_startTime = 0;
    bool m_bStartTimeValid = false;
    bool m_bStartTimeEnabled = true;
    bool m_bLoaded = false;
    bool m_bReadOnly = false;
};

class CContactUsDlg final : public CDialog {
public:
    void SetName(const std::wstring& name) { SetItemText(m_hWnd, 1026, name); }
    std::wstring GetName() const { return ItemText(m_hWnd, 1026); }
    void SetEmail(const std::wstring& email) { SetItemText(m_hWnd, 1027, email); }
    std::wstring GetEmail() const { return ItemText(m_hWnd, 1027); }
    void SetProxy(const std::wstring& server, int port) {
        m_strProxyServer = server;
        m_nProxyPort = port;
    }
    void SetReadOnly(bool readOnly);
    // The day of the year (1-366, local time) the daily rule uses.
    static int Today();

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void Send();
    void SendEnded(const SPostOutcome& outcome);

    std::wstring m_strProxyServer;
    int m_nProxyPort = 0;
    // A request is out: Send stays disabled until its answer is shown.
    bool m_bSending = false;
    int m_nSendDay = 0;
};

} // namespace MW::Win
