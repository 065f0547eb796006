#pragma once

#include "ConfigValues.h"
#include "ContactSender.h"

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace MW {

// The Contact tab: the user's name and address (kept by the service) and one
// support message a day, posted to the vendor's support server.
class CContactUsDlg : public QWidget {
    Q_OBJECT
public:
    explicit CContactUsDlg(QWidget* parent = nullptr);
    ~CContactUsDlg() override;

    void SetName(const QString& name);
    QString GetName();
    void SetEmail(const QString& email);
    QString GetEmail();
    // The explicit proxy for the request; an empty server or port 0 means none.
    void SetProxy(const QString& server, int port);

    // The two settings the tab holds (ContactName, ContactEmail) as shown, for a
    // save, and from the service.
    void ShownValues(Client::SSettingsValues& values) const;
    void TakeValues(Client::SSettingsValues& values);
    void SetValues(const Client::SSettingsValues& values);
    bool SetValue(Client::EProperty property, const Client::SSettingsValues& values);

    // The "Send" command; public so that tests can run it without a click. The
    // request runs on a thread of its own; its answer comes back through the
    // event loop (sendEnded).
    void OnSend();
    bool isSending() const { return m_bSending; }

    QString proxyServer() const { return m_strProxyServer; }
    int proxyPort() const { return m_nProxyPort; }
    QLineEdit* nameEdit() const { return m_nameEdit; }
    QLineEdit* emailEdit() const { return m_emailEdit; }
    QPlainTextEdit* textEdit() const { return m_textEdit; }
    QPushButton* sendButton() const { return m_sendButton; }
    QLabel* callLabel() const { return m_callLabel; }
    ContactSender& contactSender() { return m_sender; }

    // The texts the tab shows.
    static const QString kMissingFields;
    static const QString kOnePerDay;
    static const QString kSent;
    static const QString kCannotSend;
    static const QString kErrorCode;

    static constexpr int kMaxTextLength = 400;

signals:
    // A request started by OnSend has ended and its answer was shown.
    void sendEnded();

private:
    void onSendEnded(const ContactSender::Outcome& outcome);
    void showOutcome(const ContactSender::Outcome& outcome);
    void layoutControls();
    void limitText();

    QString m_strName;
    QString m_strEmail;
    QString m_strText;
    QString m_strProxyServer;
    int m_nProxyPort = 0;
    bool m_bSending = false;

    QLabel* m_banner = nullptr;
    QLabel* m_callLabel = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QLineEdit* m_emailEdit = nullptr;
    QPlainTextEdit* m_textEdit = nullptr;
    QPushButton* m_sendButton = nullptr;

    ContactSender m_sender;
};

} // namespace MW
