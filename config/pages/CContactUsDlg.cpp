#include "CContactUsDlg.h"

#include "DialogUnits.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

namespace MW {

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

    m_banner = new QLabel(this);
    m_banner->setGeometry(du.rect(0, 0, 20, 20));

    auto* group = new QGroupBox(QStringLiteral("Contact us:"), this);
    group->setGeometry(du.rect(10, 42, 266, 187));

    // The children below sit on the page, not in the group box, so that every
    // position is the page's own dialog-unit coordinate.
    m_callLabel = new QLabel(QStringLiteral("Call: "), this);
    m_callLabel->setGeometry(du.rect(24, 54, 67, 8));

    auto* nameLabel = new QLabel(QStringLiteral("Enter your name:"), this);
    nameLabel->setGeometry(du.rect(24, 72, 57, 8));
    m_nameEdit = new QLineEdit(this);
    m_nameEdit->setGeometry(du.rect(24, 84, 96, 14));

    auto* emailLabel = new QLabel(QStringLiteral("Enter your email address:"), this);
    emailLabel->setGeometry(du.rect(24, 108, 83, 8));
    m_emailEdit = new QLineEdit(this);
    m_emailEdit->setGeometry(du.rect(24, 120, 133, 14));

    auto* textLabel = new QLabel(QStringLiteral("Questions / Comments:"), this);
    textLabel->setGeometry(du.rect(24, 144, 76, 8));
    m_textEdit = new QPlainTextEdit(this);
    m_textEdit->setGeometry(du.rect(24, 156, 180, 61));
    m_textEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_textEdit->setTabChangesFocus(true);

    m_sendButton = new QPushButton(QStringLiteral("Send"), this);
    m_sendButton->setGeometry(du.rect(216, 204, 50, 14));
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

// The edit keeps at most kMaxTextLength characters: whatever was just typed or
// pasted beyond that is dropped at the cursor, the way a limited edit refuses it.
void CContactUsDlg::limitText() {
    const int excess = m_textEdit->document()->characterCount() - 1 - kMaxTextLength;
    if (excess <= 0)
        return;
    QTextCursor cursor = m_textEdit->textCursor();
    const int end = cursor.position() >= excess ? cursor.position()
                                                : m_textEdit->document()->characterCount() - 1;
    cursor.setPosition(end);
    cursor.setPosition(end - excess, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    m_textEdit->setTextCursor(cursor);
}

void CContactUsDlg::OnSend() {
    // The request itself follows with the HTTP client.
}

} // namespace MW
