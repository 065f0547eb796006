#pragma once

#include <QString>

class QWidget;

namespace MW::Test {

// Saves a PNG of the widget (QWidget::grab) as <build>/screenshots/<name>.png for
// people to look at; returns the path, empty when it could not be written.
QString saveScreenshot(QWidget* widget, const QString& name);

} // namespace MW::Test
