#include "DialogUnits.h"

#include <QApplication>
#include <QFontMetrics>

namespace MW {

namespace {
// The average width is taken over the Latin letters, as the dialog manager does,
// rounded to the nearest pixel.
int averageCharWidth(const QFontMetrics& metrics) {
    static const QString kLetters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int total = metrics.horizontalAdvance(kLetters);
    return (total / 26 + 1) / 2;
}
} // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    m_baseWidth = std::max(1, averageCharWidth(metrics));
    m_baseHeight = std::max(1, metrics.height());
}

int DialogUnits::x(int units) const {
    return (units * m_baseWidth + 2) / 4;
}

int DialogUnits::y(int units) const {
    return (units * m_baseHeight + 4) / 8;
}

QRect DialogUnits::rect(int left, int top, int width, int height) const {
    return {x(left), y(top), x(width), y(height)};
}

QSize DialogUnits::size(int width, int height) const {
    return {x(width), y(height)};
}

QFont dialogFont() {
    return QApplication::font();
}

} // namespace MW
