#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace MW::Messages {

// Captions shared by the configurator's message boxes.
inline const QString kError = QStringLiteral("Error!");
inline const QString kWarning = QStringLiteral("Warning!");
inline const QString kInformation = QStringLiteral("Information!");

// Every message box of the program goes through here: an application-modal box
// with one OK button, the given icon, text and caption, owned by `owner` (may be
// null). It returns when the user (or a test) has answered it.
void show(QWidget* owner, QMessageBox::Icon icon, const QString& text, const QString& caption);

inline void error(QWidget* owner, const QString& text) {
    show(owner, QMessageBox::Critical, text, kError);
}
inline void warning(QWidget* owner, const QString& text) {
    show(owner, QMessageBox::Warning, text, kWarning);
}

} // namespace MW::Messages
