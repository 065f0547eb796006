// CMainDlg: the connection to the service, the settings transfers and the
// reactions to the service's events.

#include "Access.h"
#include "CMainDlg.h"
#include "COverviewDlg.h"
#include "CSettingsDlg.h"
#include "CTrayNotificationDlg.h"
#include "FileTypes.h"
#include "Messages.h"
#include "SettingsTransfer.h"

namespace MW {

const QString CMainDlg::kConnectFailed =
    QStringLiteral("Failed to connect to service. Terminating the program.");
const QString CMainDlg::kUnavailablePrefix = QStringLiteral("Service is unavailable. ");
const QString CMainDlg::kUnavailableSuffix = QStringLiteral(" Click Ok to try to reconnetct.");

bool CMainDlg::ConnectService(bool showErrors) {
    if (m_exitStatus)
        return false;
    ++m_nConnecting;
    m_overview->setEngine(nullptr);
    // Activation answers once the service has loaded its settings: there is
    // nothing to wait for before the first call.
    if (!m_link.createEngine()) {
        if (showErrors)
            Messages::error(this, kConnectFailed);
        --m_nConnecting;
        shutdown(eES_ServiceUnreachable, false);
        return false;
    }
    queryAccess(showErrors);
    LoadSettings(showErrors);
    m_overview->setEngine(&m_link);
    m_observer.UnadviseEngine();
    m_observer.AdviseEngine(&m_link);
    --m_nConnecting;
    return !m_exitStatus;
}

std::unique_ptr<CConfigRef> CMainDlg::AcquireConfig(bool showErrors) {
    if (m_exitStatus)
        return nullptr;
    if (!m_link.hasEngine() && !ConnectService(showErrors))
        return nullptr;
    try {
        return m_link.Config();
    } catch (const CCallError& error) {
        reportCallFailure(error, showErrors);
        return nullptr;
    }
}

void CMainDlg::reportCallFailure(const CCallError& error, bool showErrors) {
    if (showErrors)
        Messages::error(this, kUnavailablePrefix + error.text() + kUnavailableSuffix);
    // One new connection per failure; a failure while connecting is left to the
    // connection under way, which would otherwise start over without end.
    if (m_nConnecting == 0)
        ConnectService(showErrors);
}

void CMainDlg::queryAccess(bool showErrors) {
    try {
        const SServiceAccess access = m_link.Access();
        setReadOnly(!access.mayChange, access.group.isEmpty()
                                           ? QString::fromLatin1(Bus::kDefaultChangeGroup)
                                           : access.group);
    } catch (const CCallError& error) {
        // Treated as before the question existed: the service decides at each write.
        setReadOnly(false, QString());
        reportCallFailure(error, showErrors);
    }
}

void CMainDlg::setReadOnly(bool readOnly, const QString& group) {
    m_bReadOnly = readOnly;
    m_transfer->setReadOnly(readOnly);
    m_settings->SetReadOnly(readOnly, group);
    m_overview->SetReadOnly(readOnly);
}

void CMainDlg::LoadSettings(bool showErrors) {
    auto config = AcquireConfig(showErrors);
    if (!config)
        config = AcquireConfig(showErrors);
    if (!config)
        return;
    try {
        m_transfer->load(*config, m_link, showErrors);
    } catch (const CCallError& error) {
        reportCallFailure(error, showErrors);
    }
}

void CMainDlg::SaveSettings(bool showErrors) {
    // The service would refuse every write: none is attempted.
    if (m_bReadOnly)
        return;
    auto config = AcquireConfig(showErrors);
    if (!config)
        config = AcquireConfig(showErrors);
    if (!config)
        return;
    try {
        m_transfer->save(*config);
    } catch (const CCallError& error) {
        reportCallFailure(error, showErrors);
    }
}

void CMainDlg::OnScanStarted() {
    m_settings->EnableStartTime(false);
    m_overview->EnableScanButtons(false);
    SaveSettings(true);
}

void CMainDlg::OnScanFinished() {
    m_settings->EnableStartTime(true);
    m_overview->EnableScanButtons(true);
    const auto config = AcquireConfig(true);
    if (!config)
        return;
    try {
        m_overview->SetLastScan(config->LastScan());
        const qint32 count = m_link.UndeletedCount();
        if (count > 0)
            m_notification->announce(count, m_link.UndeletedLog());
    } catch (const CCallError& error) {
        reportCallFailure(error, true);
    }
}

void CMainDlg::OnUpdateCleanedSpace(quint64 total) {
    m_overview->SetCleanedSpace(FormatMegabytes(total));
}

void CMainDlg::OnTest() {
    Messages::show(nullptr, QMessageBox::NoIcon, CMWObserver::kTestText, CMWObserver::kTestCaption);
}

} // namespace MW
