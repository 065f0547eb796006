#include "Messages.h"

#include <QFile>
#include <QWidget>

namespace MW::Messages {
namespace {

// Runs of the whole program without anyone at the screen (its tests, scripts)
// set MW_MESSAGE_LOG to a file: each box is then appended there as one line,
// "caption<TAB>text" with line feeds written as \n, and counts as answered.
bool logInsteadOfShowing(const QString& text, const QString& caption) {
    const QString path = qEnvironmentVariable("MW_MESSAGE_LOG");
    if (path.isEmpty())
        return false;
    QFile log(path);
    if (log.open(QIODevice::Append | QIODevice::Text)) {
        QString line = caption + QLatin1Char('\t') + text;
        line.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        log.write((line + QLatin1Char('\n')).toUtf8());
    }
    return true;
}

} // namespace

void show(QWidget* owner, QMessageBox::Icon icon, const QString& text, const QString& caption) {
    if (logInsteadOfShowing(text, caption))
        return;
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace MW::Messages
