#include "MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>

namespace MW::Test {
namespace {

AnsweredBox answer(QMessageBox* box, QMessageBox::StandardButton button) {
    AnsweredBox record{true, box->text(), box->windowTitle(), box->icon()};
    if (QAbstractButton* target = box->button(button))
        target->click();
    else
        box->done(button);
    return record;
}

} // namespace

QMessageBox* activeMessageBox() {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
        return box->isVisible() ? box : nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->isVisible() && box->isModal())
            return box;
    }
    return nullptr;
}

std::shared_ptr<AnsweredBox> answerNextMessageBox(QMessageBox::StandardButton button, QString* text,
                                                  QString* caption, int timeoutMs) {
    auto record = std::make_shared<AnsweredBox>();
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        if (QMessageBox* box = activeMessageBox()) {
            *record = answer(box, button);
            if (text)
                *text = record->text;
            if (caption)
                *caption = record->caption;
        } else if (clock->elapsed() < timeoutMs) {
            return;
        }
        timer->stop();
        timer->deleteLater();
    });
    timer->start();
    return record;
}

MessageBoxRecorder::MessageBoxRecorder(QMessageBox::StandardButton button) : m_button(button) {
    m_timer.setInterval(10);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        if (QMessageBox* box = activeMessageBox())
            m_boxes.append(answer(box, m_button));
    });
    m_timer.start();
}

MessageBoxRecorder::~MessageBoxRecorder() = default;

QStringList MessageBoxRecorder::texts() const {
    QStringList out;
    for (const auto& box : m_boxes)
        out << box.text;
    return out;
}

} // namespace MW::Test
