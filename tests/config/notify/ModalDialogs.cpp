#include "ModalDialogs.h"

#include <QTimer>
#include <QWidget>

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

} // namespace MW::Test
