#include "CUndeletedFilesDlg.h"

#include "DialogUnits.h"
#include "QtValues.h"
#include "UndeletedList.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QPointer>
#include <QScreen>
#include <thread>

namespace MW {

// The last entry when the list holds more than the dialog shows.
const QString CUndeletedFilesDlg::kMoreEntries = QStringLiteral("\u2026 and %1 more");

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
    m_listBox->setLayoutMode(QListView::Batched);
    // 100,000 entries in 50 rounds: each round short, the whole list soon placed.
    m_listBox->setBatchSize(2000);

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

// The list may hold millions of lines: it is read on a thread of its own (at
// most Client::kMaxUndeletedEntries entries, the rest counted) and shown when
// read, so the window never waits for the file. The list view sizes its scroll
// range from the widest entry itself, so a long path can always be scrolled into
// view; it lays the entries out in batches, between events.
void CUndeletedFilesDlg::loadList() {
    m_listBox->clear();
    const quint64 load = ++m_nLoad;
    m_bLoading = true;
    QPointer<CUndeletedFilesDlg> self(this);
    std::thread([self, load, path = Link::toUtf8(m_strListPath)] {
        const Client::SUndeletedEntries read = Client::ReadUndeletedEntries(path);
        QStringList entries;
        entries.reserve(static_cast<qsizetype>(read.entries.size()) + 1);
        for (const std::string& entry : read.entries)
            entries << Link::toQString(entry);
        if (read.more > 0)
            entries << kMoreEntries.arg(read.more);
        // The dialog may be gone by now; QPointer tells on the GUI thread.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, load, entries = std::move(entries)] {
                if (self)
                    self->showList(load, entries);
            },
            Qt::QueuedConnection);
    }).detach();
}

void CUndeletedFilesDlg::showList(quint64 load, const QStringList& entries) {
    if (load != m_nLoad)
        return; // an older read, overtaken by a newer one
    m_listBox->addItems(entries);
    m_bLoading = false;
    emit listLoaded();
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
