#include "Messages.h"

#include <QWidget>

namespace MW::Messages {

void show(QWidget* owner, QMessageBox::Icon icon, const QString& text, const QString& caption)
{
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace MW::Messages
