#include "CContactUsDlg.h"

#include "DialogUnits.h"
#include "Messages.h"
#include "PageLayout.h"
#include "QtValues.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextCursor>

namespace MW {

const QString CContactUsDlg::kMissingFields =
    QStringLiteral("Please provide information in all fields.");
const QString CContactUsDlg::kOnePerDay =
    QStringLiteral("Sorry, but you can only submit one message per day.\nPlease call the number on "
                   "our website if this is urgent. Thank you.");
const QString CContactUsDlg::kSent =
    QStringLiteral("Your questions and comments have been sent successfully. Thank you!");
const QString CContactUsDlg::kCannotSend =
    QStringLiteral("Your questions and comments can\u2019t be send at the moment.\nPlease, check "
                   "your internet connection and try again later.");
const QString CContactUsDlg::kErrorCode = QStringLiteral(" Error code: %1");

CContactUsDlg::CContactUsDlg(QWidget* parent) : QWidget(parent) {
    layoutControls();
    connect(m_textEdit, &QPlainTextEdit::textChanged, this, [this] { limitText(); });
    connect(m_sendButton, &QPushButton::clicked, this, [this] { OnSend(); });
}

CContactUsDlg::~CContactUsDlg() = default;

void CContactUsDlg::layoutControls() {
    setFont(dialogFont());
    const DialogUnits du(font());
    setMinimumSize(du.size(308, 242));

    m_banner = addBanner(this);

    auto* group = new QGroupBox(QStringLiteral("Contact us:"), this);
    place(group, du, 10, 42, 266, 187);

    // The controls below are the page's children, not the group box's, so that every
    // position is in the page's own dialog units.
    m_callLabel = new QLabel(QStringLiteral("Call: ") + supportPhone(), this);
    place(m_callLabel, du, 24, 54, 67, 8);

    auto* nameLabel = new QLabel(QStringLiteral("Enter your name:"), this);
    place(nameLabel, du, 24, 72, 57, 8);
    m_nameEdit = new QLineEdit(this);
    place(m_nameEdit, du, 24, 84, 96, 14);

    auto* emailLabel = new QLabel(QStringLiteral("Enter your email address:"), this);
    place(emailLabel, du, 24, 108, 83, 8);
    m_emailEdit = new QLineEdit(this);
    place(m_emailEdit, du, 24, 120, 133, 14);

    auto* textLabel = new QLabel(QStringLiteral("Questions / Comments:"), this);
    place(textLabel, du, 24, 144, 76, 8);
    m_textEdit = new QPlainTextEdit(this);
    place(m_textEdit, du, 24, 156, 180, 61);
    // Lines wrap at the edit's width; only the vertical bar scrolls.
    m_textEdit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_textEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_textEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_textEdit->setTabChangesFocus(true);

    m_sendButton = new QPushButton(QStringLiteral("Send"), this);
    place(m_sendButton, du, 216, 204, 50, 14);
}

void CContactUsDlg::SetName(const QString& name) {
    m_strName = name;
    m_nameEdit->setText(name);
}

QString CContactUsDlg::GetName() {
    m_strName = m_nameEdit->text();
    return m_strName;
}

void CContactUsDlg::SetEmail(const QString& email) {
    m_strEmail = email;
    m_emailEdit->setText(email);
}

QString CContactUsDlg::GetEmail() {
    m_strEmail = m_emailEdit->text();
    return m_strEmail;
}

void CContactUsDlg::SetProxy(const QString& server, int port) {
    m_strProxyServer = server;
    m_nProxyPort = port;
}

void CContactUsDlg::ShownValues(Client::SSettingsValues& values) const {
    values.contactName = Link::toUtf8(m_nameEdit->text());
    values.contactEmail = Link::toUtf8(m_emailEdit->text());
}

void CContactUsDlg::TakeValues(Client::SSettingsValues& values) {
    values.contactName = Link::toUtf8(GetName());
    values.contactEmail = Link::toUtf8(GetEmail());
}

void CContactUsDlg::SetValues(const Client::SSettingsValues& values) {
    SetName(Link::toQString(values.contactName));
    SetEmail(Link::toQString(values.contactEmail));
}

bool CContactUsDlg::SetValue(Client::EProperty property, const Client::SSettingsValues& values) {
    if (property == Client::EProperty::ContactName)
        SetName(Link::toQString(values.contactName));
    else if (property == Client::EProperty::ContactEmail)
        SetEmail(Link::toQString(values.contactEmail));
    else
        return false;
    return true;
}

// The edit keeps at most kMaxTextLength characters: whatever was just typed or
// pasted beyond that is dropped at the cursor, the way a limited edit refuses it.
void CContactUsDlg::limitText() {
    const int length = m_textEdit->document()->characterCount() - 1;
    const int excess = length - kMaxTextLength;
    if (excess <= 0)
        return;
    QTextCursor cursor = m_textEdit->textCursor();
    const int end = cursor.position() >= excess ? cursor.position() : length;
    cursor.setPosition(end);
    cursor.setPosition(end - excess, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    m_textEdit->setTextCursor(cursor);
}

void CContactUsDlg::OnSend() {
    // One request at a time: "Send" stays disabled until the answer is shown.
    if (m_bSending)
        return;
    m_sendButton->setEnabled(false);

    // The members hold the trimmed values; the edits keep what was typed.
    m_strName = m_nameEdit->text().trimmed();
    m_strEmail = m_emailEdit->text().trimmed();
    m_strText = m_textEdit->toPlainText().trimmed();

    m_sender.setProxy(m_strProxyServer, m_nProxyPort);
    ContactSender::Request request;
    if (const std::optional<ContactSender::Outcome> refused =
            m_sender.prepare(m_strName, m_strEmail, m_strText, request)) {
        showOutcome(*refused);
        return;
    }
    // The request may take minutes (a silent server is given up only after the
    // HTTP client's bounds): the window, the tray and the bus events stay live.
    m_bSending = true;
    QPointer<CContactUsDlg> self(this);
    ContactSender::postInBackground(std::move(request),
                                    [self](const ContactSender::Outcome& outcome) {
                                        if (self)
                                            self->onSendEnded(outcome);
                                    });
}

void CContactUsDlg::onSendEnded(const ContactSender::Outcome& outcome) {
    m_bSending = false;
    m_sender.finish(outcome);
    showOutcome(outcome);
    emit sendEnded();
}

void CContactUsDlg::showOutcome(const ContactSender::Outcome& outcome) {
    switch (outcome.result) {
    case ContactSender::Result::MissingField:
        Messages::warning(this, kMissingFields);
        break;
    case ContactSender::Result::AlreadySentToday:
        Messages::show(this, QMessageBox::Information, kOnePerDay, Messages::kInformation);
        break;
    case ContactSender::Result::Sent:
        m_strText.clear();
        m_textEdit->clear();
        Messages::show(this, QMessageBox::Information, kSent, kSent);
        break;
    case ContactSender::Result::NetworkFailure:
    case ContactSender::Result::NotAccepted:
        Messages::error(this, kCannotSend + kErrorCode.arg(outcome.errorCode));
        break;
    case ContactSender::Result::OtherFailure:
        Messages::error(this, kCannotSend);
        break;
    }
    m_sendButton->setEnabled(true);
}

} // namespace MW
