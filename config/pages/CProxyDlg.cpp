#include "CProxyDlg.h"

#include "Messages.h"
#include "PageLayout.h"
#include "QtValues.h"
#include "SystemProxyReader.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>

namespace MW {

const QString CProxyDlg::kMissingFields =
    QStringLiteral("Please provide information in all fields.");

CProxyDlg::CProxyDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Morrowick proxy settings"));
    // A modal frame with a title bar and a system menu, no resizing.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    setFont(dialogFont());

    m_frame = new QGroupBox(this);
    m_useProxyBox = new QCheckBox(QStringLiteral("Specify proxy you want to use:"), this);
    // The box lies on the frame's top edge and hides the line behind its text.
    m_useProxyBox->setAutoFillBackground(true);
    m_serverLabel = new QLabel(QStringLiteral("Proxy server"), this);
    m_serverEdit = new QLineEdit(this);
    m_portLabel = new QLabel(QStringLiteral("Port"), this);
    m_portEdit = new QLineEdit(this);
    m_portEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_portEdit));
    m_useSystemBox = new QCheckBox(QStringLiteral("Use system proxy settings"), this);
    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setDefault(true);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    layoutControls();

    connect(m_useProxyBox, &QCheckBox::clicked, this, &CProxyDlg::onUseProxyClicked);
    connect(m_useSystemBox, &QCheckBox::clicked, this, &CProxyDlg::onUseSystemClicked);
    connect(m_okButton, &QPushButton::clicked, this, &CProxyDlg::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &CProxyDlg::reject);
}

CProxyDlg::~CProxyDlg() = default;

void CProxyDlg::layoutControls() {
    const DialogUnits du(font());
    setFixedSize(du.size(228, 101));
    place(m_frame, du, 7, 7, 214, 67);
    place(m_useProxyBox, du, 14, 7, 117, 10);
    place(m_serverLabel, du, 14, 20, 42, 8);
    place(m_serverEdit, du, 14, 33, 158, 14);
    place(m_portLabel, du, 181, 20, 14, 8);
    place(m_portEdit, du, 181, 33, 33, 14);
    place(m_useSystemBox, du, 15, 57, 101, 10);
    place(m_okButton, du, 7, 80, 50, 14);
    place(m_cancelButton, du, 171, 80, 50, 14);
    // The check box sits on the frame's top line, so its middle marks that line.
    const int line = m_useProxyBox->geometry().center().y();
    QRect frame = m_frame->geometry();
    frame.setTop(line);
    m_frame->setGeometry(frame);
}

void CProxyDlg::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        onOpen();
    QDialog::showEvent(event);
}

void CProxyDlg::onOpen() {
    m_useProxyBox->setChecked(m_bUseProxy);
    m_serverEdit->setText(m_strServer);
    m_portEdit->setText(m_strPort);
    m_useSystemBox->setChecked(m_bUseSystemProxy);
    m_bUseProxyAtOpen = m_bUseProxy;
    m_bUseSystemProxyAtOpen = m_bUseSystemProxy;
    applyEnabling();
}

void CProxyDlg::readControls() {
    m_bUseProxy = m_useProxyBox->isChecked();
    m_strServer = m_serverEdit->text();
    m_strPort = m_portEdit->text();
    m_bUseSystemProxy = m_useSystemBox->isChecked();
}

void CProxyDlg::onUseProxyClicked() {
    readControls();
    applyEnabling();
}

void CProxyDlg::onUseSystemClicked() {
    m_bUseSystemProxy = m_useSystemBox->isChecked();
    applyEnabling();
}

void CProxyDlg::applyEnabling() {
    m_useSystemBox->setEnabled(m_bUseProxy);
    const bool typed = m_bUseProxy && !m_bUseSystemProxy;
    m_serverEdit->setEnabled(typed);
    m_portEdit->setEnabled(typed);
}

Client::SProxyValues CProxyDlg::values() const {
    return {m_bUseProxy,      Link::toUtf8(m_strServer),    Link::toUtf8(m_strPort),
            m_bUseSystemProxy, Link::toUtf8(m_strSysServer), Link::toUtf8(m_strSysBypass),
            m_dwSysAccessType};
}

void CProxyDlg::setValues(const Client::SProxyValues& values) {
    m_bUseProxy = values.useProxy;
    m_strServer = Link::toQString(values.server);
    m_strPort = Link::toQString(values.port);
    m_bUseSystemProxy = values.useSystemProxy;
    m_strSysServer = Link::toQString(values.sysServer);
    m_strSysBypass = Link::toQString(values.sysBypass);
    m_dwSysAccessType = values.sysAccessType;
}

void CProxyDlg::readSystemProxy() {
    const Client::SSystemProxy read = ReadSystemProxy(
        {m_dwSysAccessType, Link::toUtf8(m_strSysServer), Link::toUtf8(m_strSysBypass)});
    m_dwSysAccessType = read.accessType;
    m_strSysServer = Link::toQString(read.server);
    m_strSysBypass = Link::toQString(read.bypass);
}

void CProxyDlg::accept() {
    readControls();
    m_strServer = m_strServer.trimmed();
    m_strPort = m_strPort.trimmed();
    if (m_bUseSystemProxy) {
        // The settings are read fresh only when the user has just switched them on;
        // otherwise the last connection has read them already.
        if (!m_bUseSystemProxyAtOpen) {
            try {
                readSystemProxy();
            } catch (const Client::CSystemProxyError& error) {
                // The dialog stays open: the user may retry or cancel.
                Messages::error(this, QString::fromUtf8(error.what()));
                return;
            }
        }
    } else if (m_bUseProxy && (m_strServer.isEmpty() || m_strPort.isEmpty())) {
        Messages::warning(this, kMissingFields);
        return;
    }
    QDialog::accept();
}

void CProxyDlg::reject() {
    m_bUseProxy = m_bUseProxyAtOpen;
    m_bUseSystemProxy = m_bUseSystemProxyAtOpen;
    QDialog::reject();
}

} // namespace MW
