#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace MW {

// The small white window shown beside the tray after a scan that left files behind.
// A left click opens the list of those files, a right click dismisses it; it has no
// timer and stays until clicked.
class CTrayNotificationDlg : public QWidget {
    Q_OBJECT
public:
    explicit CTrayNotificationDlg(QWidget* owner = nullptr);
    ~CTrayNotificationDlg() override;

    void SetText(const QString& text);
    // After a scan: shows the text for `count` undeleted files and remembers the
    // list file; a count of 0 or less shows nothing.
    void announce(qint32 count, const QString& listPath);

    // Where the window's top-left corner goes so that its bottom-right corner lies
    // on the bottom-right corner of `area`.
    static QPoint cornerPosition(const QRect& area, const QSize& size);

    QLabel* textLabel() const { return m_textLabel; }

    QString m_strText;
    QString m_strListPath;
    bool m_bListReady = false;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void placeInCorner();
    void showList();

    QLabel* m_textLabel = nullptr;
};

} // namespace MW
