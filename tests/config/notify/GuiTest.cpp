#include "GuiTest.h"

#include <QDir>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace MW::Test {

namespace {
QTimer* modalTimer() {
    static QTimer* timer = [] {
        auto* created = new QTimer(qApp);
        created->setInterval(20);
        return created;
    }();
    return timer;
}
} // namespace

void whenModalWidget(std::function<bool(QWidget*)> attempt) {
    QTimer* timer = modalTimer();
    timer->stop();
    timer->disconnect();
    QObject::connect(timer, &QTimer::timeout, [timer, attempt] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->isVisible() && attempt(modal))
            timer->stop();
    });
    timer->start();
}

void cancelWhenModal() {
    modalTimer()->stop();
}

void screenshot(QWidget* widget, const QString& name) {
    saveScreenshot(widget->grab(), name);
}

void saveScreenshot(const QPixmap& picture, const QString& name) {
    const QString dir = QStringLiteral(MW_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(picture.save(dir + "/" + name + ".png"));
}

} // namespace MW::Test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
