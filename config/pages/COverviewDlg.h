#pragma once

#include <QString>
#include <QWidget>

class QGroupBox;
class QLabel;
class QPushButton;

namespace MW {

class CServiceLink;

// The Overview tab: the date of the last scan and the space cleaned so far, and
// the "Scan Now" and "Reset Count" commands.
class COverviewDlg : public QWidget {
    Q_OBJECT
public:
    explicit COverviewDlg(QWidget* parent = nullptr);
    ~COverviewDlg() override;

    // The page's size in the template: 308 x 242 dialog units.
    QSize sizeHint() const override;

    // The main window hands over its link after every successful connection;
    // null means none. The page drops it itself when one of its calls fails.
    void setEngine(CServiceLink* engine) { m_engine = engine; }
    CServiceLink* engine() const { return m_engine; }

    void SetLastScan(const QString& text);
    void SetCleanedSpace(const QString& text);
    void EnableScanButtons(bool enable);
    // The buttons stay disabled while read-only (the service takes no changes).
    void SetReadOnly(bool readOnly);
    bool isReadOnly() const { return m_bReadOnly; }

    // The two commands; public so the keyboard rules and tests can run them.
    void OnScanNow();
    void OnResetCount();

    QLabel* lastScanLabel() const { return m_lastScanLabel; }
    QLabel* cleanedSpaceLabel() const { return m_cleanedLabel; }
    QPushButton* scanNowButton() const { return m_scanNowButton; }
    QPushButton* resetCountButton() const { return m_resetButton; }

    static const QString kScanUnavailable;
    static const QString kResetUnavailable;
    static const QString kScanFailed;
    static const QString kResetFailed;
    static const QString kTryingToReconnect;
    // Reported when the engine hands out no Config object.
    static const QString kNoConfig;

signals:
    // Asks the main window to connect to the service again.
    void reconnectRequested();

private:
    void layoutControls();

    QString m_strLastScan;
    QString m_strCleanedSpace;
    CServiceLink* m_engine = nullptr;
    bool m_bButtonsEnabled = true; // as the scan state allows
    bool m_bReadOnly = false;

    QLabel* m_banner = nullptr;
    QGroupBox* m_lastScanGroup = nullptr;
    QLabel* m_lastScanLabel = nullptr;
    QPushButton* m_scanNowButton = nullptr;
    QGroupBox* m_cleanedGroup = nullptr;
    QLabel* m_cleanedLabel = nullptr;
    QPushButton* m_resetButton = nullptr;
};

} // namespace MW
