#pragma once

#include "CServiceSession.h"

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
class CPagesView;
class CSettingsDlg;
class CTrayNotificationDlg;

// The configurator's window "Morrowick": three tab pages, the tray icon and its
// menu, the notification popup. It shows and feeds the session with the service
// (CServiceSession), which owns the connection and the settings' travel. Hiding
// to the tray replaces minimising and closing.
class CMainDlg : public QWidget {
    Q_OBJECT
public:
    explicit CMainDlg(QWidget* parent = nullptr);
    ~CMainDlg() override;

    // The initialisation sequence: tray icon, connection to the service (events
    // subscribed, values loaded). false when the program is ending already.
    bool OnInitDialog();

    // Commands.
    void Show();           // tray menu's first item, tray activation, second start
    void OnExit();         // tray menu's "Exit"
    void OnCloseRequest(); // another program asked the program to end (SIGTERM)
    void OnEndSession();   // the desktop session ends
    void OnCommitData();   // the session manager asks for the data to be saved

    bool hasTray() const { return m_tray != nullptr; }
    // Set once the program is ending; the first status requested wins.
    std::optional<int> exitStatus() const { return m_exitStatus; }

    // Parts, for the program's entry and for tests.
    CServiceSession& session() { return *m_session; }
    COverviewDlg& overview() { return *m_overview; }
    CSettingsDlg& settings() { return *m_settings; }
    CContactUsDlg& contact() { return *m_contact; }
    CTrayNotificationDlg& notification() { return *m_notification; }
    QTabWidget* tabs() const { return m_tabs; }
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    QMenu* trayMenu() const { return m_trayMenu; }

    // The save at the end of the program may take this long in all (a desktop
    // ending its session does not wait much longer); what is not written by then
    // is reported on standard error and the program ends with eES_SaveFailed.
    static constexpr int kEndSaveMs = 10000;

    static const QString kTitle;
    static const QString kTrayTip;
    static const QString kShowCommand;
    static const QString kExitCommand;

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
    void endWithSave(int status, bool showErrors);
    void shutdown(int status, bool unadvise);
    void requestExit(int status);

    QTabWidget* m_tabs = nullptr;
    QPushButton* m_testButton = nullptr;
    COverviewDlg* m_overview = nullptr;
    CSettingsDlg* m_settings = nullptr;
    CContactUsDlg* m_contact = nullptr;
    std::unique_ptr<CTrayNotificationDlg> m_notification;
    std::unique_ptr<CPagesView> m_view;
    std::unique_ptr<CServiceSession> m_session;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_trayMenu = nullptr;
    std::optional<int> m_exitStatus;
    bool m_bHidingToTray = false;
};

} // namespace MW
