#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <memory>

namespace MW::Test {

struct AnsweredBox {
    bool answered = false;
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the next modal QMessageBox that appears within `timeoutMs` by clicking
// `button` (from a timer, so it also works inside the box's own exec()). `text`
// and `caption`, when given, receive the box's texts and must outlive the answer.
// The returned record says whether and what was answered.
std::shared_ptr<AnsweredBox>
answerNextMessageBox(QMessageBox::StandardButton button = QMessageBox::Ok, QString* text = nullptr,
                     QString* caption = nullptr, int timeoutMs = 60000);

// While it lives, answers every modal message box with `button` and records it.
class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(QMessageBox::StandardButton button = QMessageBox::Ok);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const QList<AnsweredBox>& boxes() const { return m_boxes; }
    QStringList texts() const;
    int count() const { return static_cast<int>(m_boxes.size()); }
    void clear() { m_boxes.clear(); }

private:
    QMessageBox::StandardButton m_button;
    QTimer m_timer;
    QList<AnsweredBox> m_boxes;
};

// The message box now shown modally, or null.
QMessageBox* activeMessageBox();

} // namespace MW::Test
