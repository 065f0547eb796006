#include "Spin.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace MW::Test {

bool spinUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void spinFor(int milliseconds) {
    spinUntil([] { return false; }, milliseconds);
}

} // namespace MW::Test
