#include "CUndeletedFilesDlg.h"

#include "DialogUnits.h"
#include "QtValues.h"
#include "UndeletedList.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

namespace MW {

CUndeletedFilesDlg::CUndeletedFilesDlg(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Morrowick"));
    setFont(dialogFont());
    const DialogUnits du(font());
    setFixedSize(du.size(277, 268));

    m_listBox = new QListWidget(this);
    m_listBox->setGeometry(du.rect(7, 7, 263, 236));
    m_listBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_listBox->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_listBox->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setGeometry(du.rect(111, 247, 50, 14));
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
}

CUndeletedFilesDlg::~CUndeletedFilesDlg() = default;

void CUndeletedFilesDlg::showEvent(QShowEvent* event) {
    centreOnOwner();
    loadList();
    QDialog::showEvent(event);
}

// The list view sizes its scroll range from the widest entry itself, so a long
// path can always be scrolled into view.
void CUndeletedFilesDlg::loadList() {
    m_listBox->clear();
    QStringList entries;
    for (const std::string& entry : Client::ReadUndeletedList(Link::toUtf8(m_strListPath)))
        entries << Link::toQString(entry);
    m_listBox->addItems(entries);
}

// The owner is the notification in the screen's corner: centring on it alone would
// push half the dialog off the screen, so the result is kept inside the work area.
void CUndeletedFilesDlg::centreOnOwner() {
    const QWidget* owner = parentWidget();
    QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    const QPoint centre =
        owner != nullptr && owner->isVisible() ? owner->frameGeometry().center() : area.center();
    QRect placed(QPoint(0, 0), frameGeometry().size());
    placed.moveCenter(centre);
    placed.moveRight(std::min(placed.right(), area.right()));
    placed.moveBottom(std::min(placed.bottom(), area.bottom()));
    placed.moveLeft(std::max(placed.left(), area.left()));
    placed.moveTop(std::max(placed.top(), area.top()));
    move(placed.topLeft());
}

} // namespace MW
