#include "CMainDlg.h"

#include "Artwork.h"
#include "CContactUsDlg.h"
#include "COverviewDlg.h"
#include "CPagesView.h"
#include "CSettingsDlg.h"
#include "CTrayNotificationDlg.h"
#include "DialogUnits.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

namespace MW {

const QString CMainDlg::kTitle = QStringLiteral("Morrowick");
// "Morrowik": the tip as the users know it, kept on purpose.
const QString CMainDlg::kTrayTip = QStringLiteral("Morrowik Configurator");
const QString CMainDlg::kShowCommand = QStringLiteral("Show Morrowick Configurator");
const QString CMainDlg::kExitCommand = QStringLiteral("Exit");

CMainDlg::CMainDlg(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(kTitle);
    setWindowIcon(appIcon());
    setFont(dialogFont());
    const DialogUnits du(font());
    setFixedSize(du.size(306, 269));

    // The template's hidden default button: Enter on it does nothing.
    m_testButton = new QPushButton(QStringLiteral("Test it"), this);
    m_testButton->setGeometry(du.rect(256, 0, 50, 14));
    m_testButton->hide();

    m_tabs = new QTabWidget(this);
    m_tabs->setGeometry(du.rect(7, 7, 292, 255));
    createPages();
}

CMainDlg::~CMainDlg() {
    m_session->observer().UnadviseEngine();
    removeTray();
}

void CMainDlg::createPages() {
    m_overview = new COverviewDlg;
    m_settings = new CSettingsDlg;
    m_contact = new CContactUsDlg;
    // The labels keep their blanks: they give the tabs their width.
    m_tabs->addTab(m_overview, QStringLiteral("  Overview  "));
    m_tabs->addTab(m_settings, QStringLiteral("  Settings  "));
    m_tabs->addTab(m_contact, QStringLiteral(" Contact Us "));
    m_tabs->setCurrentIndex(0);
    m_notification = std::make_unique<CTrayNotificationDlg>(this);
    m_view = std::make_unique<CPagesView>(
        CPagesView::SPages{this, m_overview, m_settings, m_contact},
        [this](qint32 count, const QString& list) { m_notification->announce(count, list); },
        [this](int status) { shutdown(status, false); });
    m_session = std::make_unique<CServiceSession>(*m_view);
    // Nothing of the service's is shown until the first load.
    m_settings->SetLoaded(false);

    connect(m_overview, &COverviewDlg::reconnectRequested, this,
            [this] { m_session->ConnectService(true); });
    connect(m_settings, &CSettingsDlg::settingsChanged, this,
            [this] { m_session->SaveSettings(true); });

    // Enter clicks these five buttons when they have the focus, and nothing else.
    for (QPushButton* button :
         {m_settings->browseButton(), m_overview->scanNowButton(), m_overview->resetCountButton(),
          m_contact->sendButton(), m_settings->proxyButton()}) {
        if (button)
            button->installEventFilter(this);
    }
}

bool CMainDlg::OnInitDialog() {
    m_session->link().releaseEngine();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    installTray();
    if (!m_session->ConnectService(true))
        return false;
    m_session->observer().setOwner(m_session.get());
    return true;
}

void CMainDlg::installTray() {
    // Without a tray host the icon would be invisible: the window then stays
    // reachable through the task bar instead (see changeEvent and main).
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_trayMenu = new QMenu(this);
    QAction* show = m_trayMenu->addAction(kShowCommand);
    m_trayMenu->addSeparator();
    QAction* exit = m_trayMenu->addAction(kExitCommand);
    m_trayMenu->setDefaultAction(show);
    connect(show, &QAction::triggered, this, &CMainDlg::Show);
    connect(exit, &QAction::triggered, this, &CMainDlg::OnExit);

    m_tray = new QSystemTrayIcon(appIcon(), this);
    m_tray->setToolTip(kTrayTip);
    m_tray->setContextMenu(m_trayMenu);
    // A status-notifier host reports a click as the item's activation and
    // knows no double click; both show the window.
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
                    Show();
            });
    m_tray->show();
}

void CMainDlg::removeTray() {
    if (!m_tray)
        return;
    m_tray->hide();
    // Exit runs inside the menu's own signal: both go once it has returned
    // (or with the window, their parent).
    m_tray->deleteLater();
    m_trayMenu->deleteLater();
    m_tray = nullptr;
    m_trayMenu = nullptr;
}

void CMainDlg::Show() {
    if (m_exitStatus)
        return;
    if (!isVisible())
        show();
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
}

void CMainDlg::hideToTray() {
    m_session->SaveSettings(true);
    if (!m_exitStatus)
        hide();
}

void CMainDlg::closeEvent(QCloseEvent* event) {
    // The close box never closes: it saves and hides to the tray. Closing by
    // another program arrives as SIGTERM (OnCloseRequest), and shutdown()
    // hides the window itself.
    event->ignore();
    if (m_exitStatus)
        return;
    if (hasTray()) {
        hideToTray();
        return;
    }
    // Hidden, the window could not be brought back without a tray: it is
    // minimised instead, which saves (changeEvent).
    setWindowState(windowState() | Qt::WindowMinimized);
}

void CMainDlg::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized() || m_bHidingToTray)
        return;
    // Hiding from inside the state change confuses window managers: do it next.
    m_bHidingToTray = true;
    QTimer::singleShot(0, this, [this] {
        m_bHidingToTray = false;
        if (m_exitStatus || !isMinimized())
            return;
        if (!hasTray()) {
            // Nothing to bring it back from: it stays minimised on the task bar.
            m_session->SaveSettings(true);
            return;
        }
        setWindowState(windowState() & ~Qt::WindowMinimized);
        hideToTray();
    });
}

bool CMainDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            button->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CMainDlg::OnExit() {
    endWithSave(eES_Exit, true);
}

void CMainDlg::OnCloseRequest() {
    endWithSave(eES_CloseRequest, false);
}

void CMainDlg::OnEndSession() {
    endWithSave(eES_Exit, true);
}

void CMainDlg::OnCommitData() {
    // Only a save: the log-out may still be cancelled, and a checkpoint asks
    // for the data while the program goes on.
    if (!m_exitStatus)
        m_session->SaveSettingsWithin(kEndSaveMs, true);
}

void CMainDlg::endWithSave(int status, bool showErrors) {
    if (m_exitStatus)
        return;
    // Bounded as a whole: a hung service must not keep the program (and a
    // desktop waiting for it at log-out) for a time-out per call.
    if (!m_session->SaveSettingsWithin(kEndSaveMs, showErrors)) {
        std::fprintf(stderr, "mwconfig: the settings could not be saved before the end: %s\n",
                     qPrintable(m_session->lastError()));
        status = eES_SaveFailed;
    }
    shutdown(status, true);
}

void CMainDlg::shutdown(int status, bool unadvise) {
    m_session->setEnding();
    if (unadvise)
        m_session->observer().UnadviseEngine();
    removeTray();
    m_notification->hide();
    hide();
    requestExit(status);
}

void CMainDlg::requestExit(int status) {
    if (m_exitStatus)
        return;
    m_exitStatus = status;
    emit exitRequested(status);
}

} // namespace MW
