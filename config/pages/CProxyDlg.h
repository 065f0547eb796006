#pragma once

#include "ConfigValues.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace MW {

// "Morrowick proxy settings": whether a proxy is used, and whether the system's
// settings or a typed server and port apply. Its values go in and out as
// Client::SProxyValues; the dialog itself talks to nobody.
class CProxyDlg : public QDialog {
    Q_OBJECT
public:
    explicit CProxyDlg(QWidget* parent = nullptr);
    ~CProxyDlg() override;

    bool m_bUseProxy = false;
    bool m_bUseProxyAtOpen = false;
    QString m_strServer;
    QString m_strPort;
    bool m_bUseSystemProxy = false;
    bool m_bUseSystemProxyAtOpen = false;
    QString m_strSysServer;
    QString m_strSysBypass;
    quint32 m_dwSysAccessType = 0;

    // The seven values (all but the two "at open" copies), and into the fields.
    Client::SProxyValues values() const;
    void setValues(const Client::SProxyValues& values);

    // Reads the system proxy into the three system fields; throws
    // Client::CSystemProxyError.
    void readSystemProxy();

    QCheckBox* useProxyBox() const { return m_useProxyBox; }
    QCheckBox* useSystemBox() const { return m_useSystemBox; }
    QLineEdit* serverEdit() const { return m_serverEdit; }
    QLineEdit* portEdit() const { return m_portEdit; }
    QPushButton* okButton() const { return m_okButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }

    static const QString kMissingFields;

public slots:
    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void layoutControls();
    void onOpen();
    void onUseProxyClicked();
    void onUseSystemClicked();
    void readControls();
    void applyEnabling();

    QGroupBox* m_frame = nullptr;
    QCheckBox* m_useProxyBox = nullptr;
    QLabel* m_serverLabel = nullptr;
    QLineEdit* m_serverEdit = nullptr;
    QLabel* m_portLabel = nullptr;
    QLineEdit* m_portEdit = nullptr;
    QCheckBox* m_useSystemBox = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

} // namespace MW
