#include "CTrayNotificationDlg.h"

#include "CUndeletedFilesDlg.h"
#include "DialogUnits.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>

namespace MW {

namespace {
const char* const kOneFile = "There is an undeleted file. Left click for details.";
const char* const kSeveralFiles = "There are %d undeleted files. Left click to show the full list.";

// The template's font is two points larger than the dialog font of the pages.
constexpr int kFontPointSize = 10;
constexpr int kCornerDiameter = 20;
} // namespace

CTrayNotificationDlg::CTrayNotificationDlg(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    QFont notificationFont = dialogFont();
    notificationFont.setPointSize(kFontPointSize);
    setFont(notificationFont);
    const DialogUnits du(font());
    setFixedSize(du.size(214, 34));

    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);
    setAutoFillBackground(true);

    m_textLabel = new QLabel(QStringLiteral("Text to appear"), this);
    m_textLabel->setGeometry(du.rect(7, 14, 200, 8));
    m_textLabel->setAlignment(Qt::AlignCenter);
}

CTrayNotificationDlg::~CTrayNotificationDlg() = default;

void CTrayNotificationDlg::SetText(const QString& text) {
    m_strText = text;
    m_textLabel->setText(text);
}

void CTrayNotificationDlg::announce(qint32 count, const QString& listPath) {
    if (count <= 0)
        return;
    SetText(count == 1 ? QString::fromLatin1(kOneFile) : QString::asprintf(kSeveralFiles, count));
    m_strListPath = listPath;
    m_bListReady = true;
    show();
    raise();
}

QPoint CTrayNotificationDlg::cornerPosition(const QRect& area, const QSize& size) {
    return {area.x() + area.width() - size.width(), area.y() + area.height() - size.height()};
}

// Placed on every showing, not only once: the panel or the resolution may have
// changed since the last announcement.
void CTrayNotificationDlg::placeInCorner() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr)
        move(cornerPosition(screen->availableGeometry(), frameGeometry().size()));
}

void CTrayNotificationDlg::showEvent(QShowEvent* event) {
    placeInCorner();
    QWidget::showEvent(event);
}

// The rounded outline reaches one pixel past the client area, as the corner
// ellipses are measured on the outer edge.
void CTrayNotificationDlg::resizeEvent(QResizeEvent* event) {
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, width() + 1, height() + 1), kCornerDiameter / 2.0,
                           kCornerDiameter / 2.0);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
    QWidget::resizeEvent(event);
}

void CTrayNotificationDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (m_bListReady)
            showList();
        hide();
    } else if (event->button() == Qt::RightButton) {
        hide();
    }
    event->accept();
}

void CTrayNotificationDlg::showList() {
    CUndeletedFilesDlg list(this);
    list.setListPath(m_strListPath);
    list.exec();
}

} // namespace MW
