#pragma once
// The main window: the dialog with its tab host and three pages, the tray icon
// and its menu, hiding to the tray, the ways the program ends; the session's
// view and the event sink's owner.

#include "CComLink.h"
#include "CSession.h"
#include "Notify.h"
#include "Pages.h"

#include <shellapi.h>

#include <vector>

namespace MW::Win {

// Exit statuses.
enum EExitStatus : int {
    eES_Normal = 0,
    eES_Exit = -1,               // "Exit" from the tray menu, end of the log-on
    eES_ServiceUnreachable = -2, // the service cannot be reached
    eES_CloseRequest = -3,       // a close request from another program
};

// The tab control's page container: a child window over the tab's display
// area that holds the pages and shows one at a time.
class CTabHost {
public:
    void Attach(HWND tab);
    void AddPage(HWND page, const wchar_t* label);
    bool ShowPage(int index);
    void Place();
    HWND container() const { return m_hContainer; }
    HWND currentPage() const {
        return m_nCurrent >= 0 ? m_pages[static_cast<std::size_t>(m_nCurrent)] : nullptr;
    }

private:
    static LRESULT CALLBACK ContainerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_hTab = nullptr;
    HWND m_hContainer = nullptr;
    std::vector<HWND> m_pages;
    int m_nCurrent = -1;
};

class CMainDlg final : public CDialog, public Client::ISessionView, public IEventOwner {
public:
    CMainDlg();
    ~CMainDlg() override;

    // The keyboard filter of the message loop; true when the message was used.
    bool PreTranslateMessage(MSG& message);
    // Whether the window ended itself during its creation (the service could not
    // be reached): the loop then only collects the quit message.
    bool endedDuringCreation() const { return m_bEnded; }

    // Client::ISessionView
    void ShowMessage(EOwner owner, EIcon icon, const std::string& text,
                     const std::string& caption) override;
    Client::SSettingsValues ShownSettings() override;
    Client::SSettingsValues SettingsToSave() override;
    void ShowSettings(const Client::SSettingsValues& values) override;
    void ShowSetting(Client::EProperty property, const Client::SSettingsValues& values) override;
    void SetContactProxy(const Client::SContactProxy& proxy) override;
    void SetLastScan(const std::string& text) override;
    void SetCleanedSpace(std::uint64_t bytes) override;
    void SetScanRunning(bool running) override;
    void SetReadOnly(bool readOnly, const std::string& group) override;
    void SetLoaded(bool loaded) override;
    void SetConnected(bool connected) override;
    void AnnounceUndeleted(std::int32_t count, const std::string& listPath) override;
    void EndProgram(int status) override;

    // IEventOwner
    void OnScanStarted() override { m_session.OnScanStarted(); }
    void OnScanFinished() override { m_session.OnScanFinished(); }
    void OnUpdateCleanedSpace(std::uint64_t total) override { m_session.OnUpdateCleanedSpace(total); }
    void OnTest() override { m_session.OnTest(); }

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void initialise();
    void show();
    void hide();
    void shutdown(int status, bool unadvise);
    void trayMessage(WPARAM id, LPARAM mouse);
    void removeTrayIcon();
    void applyEditable();

    const UINT m_uTrayMessage;
    NOTIFYICONDATAW m_tray{};
    bool m_bTrayInstalled = false;
    COverviewDlg m_overview;
    CSettingsDlg m_settings;
    CContactUsDlg m_contact;
    CTabHost m_tabs;
    CTrayNotificationDlg m_popup;
    CComLink m_link;
    Client::CSession m_session;
    bool m_bEnded = false;
    bool m_bLoaded = false;
    bool m_bReadOnly = false;
    std::wstring m_strGroup;
};

} // namespace MW::Win
