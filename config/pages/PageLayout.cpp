#include "PageLayout.h"

#include "Artwork.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>

namespace MW {

void place(QWidget* control, const DialogUnits& du, int x, int y, int w, int h) {
    QRect rect = du.rect(x, y, w, h);
    const auto* label = qobject_cast<QLabel*>(control);
    const bool fits = qobject_cast<QCheckBox*>(control) || qobject_cast<QRadioButton*>(control) ||
                      (label && !label->wordWrap() && label->pixmap().isNull());
    if (fits) {
        const QSize hint = control->sizeHint();
        if (hint.width() > rect.width())
            rect.setWidth(hint.width());
        if (hint.height() > rect.height()) {
            const int centre = rect.center().y();
            rect.setHeight(hint.height());
            rect.moveTop(centre - hint.height() / 2);
        }
    }
    // A group box whose title needs more room widens evenly on both sides.
    if (qobject_cast<QGroupBox*>(control)) {
        const int needed = control->minimumSizeHint().width();
        if (needed > rect.width()) {
            const int centre = rect.center().x();
            rect.setWidth(needed);
            rect.moveLeft(centre - needed / 2);
        }
    }
    control->setGeometry(rect);
}

QLabel* addBanner(QWidget* page) {
    auto* banner = new QLabel(page);
    const QPixmap pixmap = loadBanner();
    if (!pixmap.isNull()) {
        banner->setPixmap(pixmap);
        banner->setGeometry(0, 0, pixmap.width(), pixmap.height());
    }
    return banner;
}

} // namespace MW
