#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace MW {

// Window layouts are given in dialog units, which scale with the dialog font:
// one horizontal unit is a quarter of the font's average character width, one
// vertical unit an eighth of its height (the classic dialog-template rule).
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int x(int units) const;
    int y(int units) const;
    QRect rect(int x, int y, int width, int height) const;
    QSize size(int width, int height) const;

    int baseWidth() const { return m_baseWidth; }
    int baseHeight() const { return m_baseHeight; }

private:
    int m_baseWidth;
    int m_baseHeight;
};

// The font every window of the configurator uses, so that all layouts share one scale.
QFont dialogFont();

} // namespace MW
