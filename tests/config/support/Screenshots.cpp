#include "Screenshots.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

namespace MW::Test {

QString saveScreenshot(QWidget* widget, const QString& name) {
    const QString dir = QStringLiteral(MW_SCREENSHOT_DIR);
    if (!widget || !QDir().mkpath(dir))
        return {};
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    return widget->grab().save(path, "PNG") ? path : QString();
}

} // namespace MW::Test
