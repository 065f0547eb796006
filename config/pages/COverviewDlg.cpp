#include "COverviewDlg.h"

#include "CServiceLink.h"
#include "Messages.h"
#include "PageLayout.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace MW {

// "recconect" here and "reconnect" for Reset Count: both texts as the users
// know them, kept on purpose.
const QString COverviewDlg::kScanUnavailable =
    QStringLiteral("Service is unavailable. Trying to recconect...");
const QString COverviewDlg::kResetUnavailable =
    QStringLiteral("Service is unavailable. Trying to reconnect...");
const QString COverviewDlg::kScanFailed = QStringLiteral("Scanning failed.");
const QString COverviewDlg::kResetFailed = QStringLiteral("Failed to reset cleaned space.");
const QString COverviewDlg::kTryingToReconnect = QStringLiteral("  Trying to reconnect...");
const QString COverviewDlg::kNoConfig = QStringLiteral("Invalid pointer");

COverviewDlg::COverviewDlg(QWidget* parent) : QWidget(parent) {
    setFont(dialogFont());
    m_banner = addBanner(this);
    m_lastScanGroup = new QGroupBox(QStringLiteral("Last Scan:"), this);
    m_lastScanLabel = new QLabel(QStringLiteral("mm/dd/yy"), this);
    m_lastScanLabel->setAlignment(Qt::AlignCenter);
    m_scanNowButton = new QPushButton(QStringLiteral("Scan Now"), this);
    m_cleanedGroup = new QGroupBox(QStringLiteral("Volume of space cleaned up (MB):"), this);
    m_cleanedLabel = new QLabel(QStringLiteral("0"), this);
    m_cleanedLabel->setAlignment(Qt::AlignCenter);
    m_resetButton = new QPushButton(QStringLiteral("Reset Count"), this);
    layoutControls();

    // The held texts replace the placeholders before the page is ever seen.
    m_lastScanLabel->setText(m_strLastScan);
    m_cleanedLabel->setText(m_strCleanedSpace);

    connect(m_scanNowButton, &QPushButton::clicked, this, &COverviewDlg::OnScanNow);
    connect(m_resetButton, &QPushButton::clicked, this, &COverviewDlg::OnResetCount);
}

COverviewDlg::~COverviewDlg() = default;

QSize COverviewDlg::sizeHint() const {
    return DialogUnits(font()).size(308, 242);
}

void COverviewDlg::layoutControls() {
    const DialogUnits du(font());
    place(m_lastScanGroup, du, 150, 54, 114, 72);
    place(m_lastScanLabel, du, 155, 78, 104, 8);
    place(m_scanNowButton, du, 182, 102, 50, 14);
    place(m_cleanedGroup, du, 150, 150, 114, 72);
    place(m_cleanedLabel, du, 155, 175, 104, 8);
    place(m_resetButton, du, 182, 198, 50, 14);
    // The two boxes share one width (the wider title's), so they still line up.
    QRect last = m_lastScanGroup->geometry(), cleaned = m_cleanedGroup->geometry();
    if (last.width() < cleaned.width())
        last.setCoords(cleaned.left(), last.top(), cleaned.right(), last.bottom());
    else
        cleaned.setCoords(last.left(), cleaned.top(), last.right(), cleaned.bottom());
    m_lastScanGroup->setGeometry(last);
    m_cleanedGroup->setGeometry(cleaned);
}

void COverviewDlg::SetLastScan(const QString& text) {
    m_strLastScan = text;
    m_lastScanLabel->setText(m_strLastScan);
}

void COverviewDlg::SetCleanedSpace(const QString& text) {
    m_strCleanedSpace = text;
    m_cleanedLabel->setText(m_strCleanedSpace);
}

void COverviewDlg::EnableScanButtons(bool enable) {
    m_bButtonsEnabled = enable;
    m_scanNowButton->setEnabled(enable && !m_bReadOnly);
    m_resetButton->setEnabled(enable && !m_bReadOnly);
}

void COverviewDlg::SetReadOnly(bool readOnly) {
    m_bReadOnly = readOnly;
    EnableScanButtons(m_bButtonsEnabled);
}

void COverviewDlg::OnScanNow() {
    if (m_bReadOnly)
        return;
    if (!m_engine) {
        Messages::error(this, kScanUnavailable);
        emit reconnectRequested();
        return;
    }
    EnableScanButtons(false);
    try {
        // The scan-started event may arrive while this call waits; its reaction
        // disables the buttons again, which is harmless. The scan-finished event
        // (or a load that finds the service idle) enables them.
        m_engine->scanNow();
    } catch (const CCallError& error) {
        m_engine = nullptr;
        Messages::error(this, kScanFailed + error.text() + kTryingToReconnect);
        EnableScanButtons(true);
        emit reconnectRequested();
    }
}

void COverviewDlg::OnResetCount() {
    if (m_bReadOnly)
        return;
    if (!m_engine) {
        Messages::error(this, kResetUnavailable);
        emit reconnectRequested();
        return;
    }
    try {
        const auto config = m_engine->Config();
        if (!config)
            throw CCallError(kNoConfig);
        config->setCleanedSpace(0);
        SetCleanedSpace(QStringLiteral("0.00"));
    } catch (const CCallError& error) {
        m_engine = nullptr;
        Messages::error(this, kResetFailed + error.text() + kTryingToReconnect);
        emit reconnectRequested();
    }
}

} // namespace MW
