#pragma once

#include "CMWObserver.h"
#include "CServiceLink.h"

#include <QWidget>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class QTabWidget;

namespace MW {

class CContactUsDlg;
class COverviewDlg;
class CSettingsDlg;
class CTrayNotificationDlg;
class SettingsTransfer;

// Exit statuses of the configurator (8-bit forms of -1, -2, -3).
enum EExitStatus : int {
    eES_Normal = 0,
    eES_Exit = 255,               // "Exit" from the tray menu, end of the desktop session
    eES_ServiceUnreachable = 254, // the service cannot be reached
    eES_CloseRequest = 253,       // SIGTERM / SIGINT
};

// The configurator's window "Morrowick": three tab pages, the tray icon and its
// menu, the notification popup, and the connection to the service with its
// reconnect policy. Hiding to the tray replaces minimising and closing.
class CMainDlg : public QWidget {
    Q_OBJECT
public:
    explicit CMainDlg(QWidget* parent = nullptr);
    ~CMainDlg() override;

    // The initialisation sequence: tray icon, connection to the service (values
    // loaded, events subscribed). false when the program is ending already.
    bool OnInitDialog();

    // Connection policy (the service is reached only through m_link).
    bool ConnectService(bool showErrors);
    std::unique_ptr<CConfigRef> AcquireConfig(bool showErrors);
    void LoadSettings(bool showErrors);
    void SaveSettings(bool showErrors);
    // Whether the service refuses this user's changes (asked at each connection).
    bool isReadOnly() const { return m_bReadOnly; }

    // Reactions to the service's events.
    void OnScanStarted();
    void OnScanFinished();
    void OnUpdateCleanedSpace(quint64 total);
    void OnTest();

    // Commands.
    void Show();           // tray menu's first item, tray activation, second start
    void OnExit();         // tray menu's "Exit"
    void OnCloseRequest(); // another program asked the program to end (SIGTERM)
    void OnEndSession();   // the desktop session ends

    bool hasTray() const { return m_tray != nullptr; }
    // Set once the program is ending; the first status requested wins.
    std::optional<int> exitStatus() const { return m_exitStatus; }

    // Parts, for the program's entry and for tests.
    CServiceLink& link() { return m_link; }
    CMWObserver& observer() { return m_observer; }
    COverviewDlg& overview() { return *m_overview; }
    CSettingsDlg& settings() { return *m_settings; }
    CContactUsDlg& contact() { return *m_contact; }
    CTrayNotificationDlg& notification() { return *m_notification; }
    QTabWidget* tabs() const { return m_tabs; }
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    QMenu* trayMenu() const { return m_trayMenu; }

    static const QString kTitle;
    static const QString kTrayTip;
    static const QString kShowCommand;
    static const QString kExitCommand;
    static const QString kConnectFailed;
    static const QString kUnavailablePrefix;
    static const QString kUnavailableSuffix;

signals:
    // The program should end with this status (the event loop's return value).
    void exitRequested(int status);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createPages();
    void installTray();
    void removeTray();
    void hideToTray();
    void shutdown(int status, bool unadvise);
    void requestExit(int status);
    void reportCallFailure(const CCallError& error, bool showErrors);
    void queryAccess(bool showErrors);
    void setReadOnly(bool readOnly, const QString& group);

    CServiceLink m_link;
    CMWObserver m_observer;
    QTabWidget* m_tabs = nullptr;
    QPushButton* m_testButton = nullptr;
    COverviewDlg* m_overview = nullptr;
    CSettingsDlg* m_settings = nullptr;
    CContactUsDlg* m_contact = nullptr;
    std::unique_ptr<CTrayNotificationDlg> m_notification;
    std::unique_ptr<SettingsTransfer> m_transfer;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_trayMenu = nullptr;
    std::optional<int> m_exitStatus;
    int m_nConnecting = 0;
    bool m_bHidingToTray = false;
    bool m_bReadOnly = false;
};

} // namespace MW
