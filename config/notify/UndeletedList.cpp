#include "UndeletedList.h"

#include <QFile>
#include <algorithm>

namespace MW {

QStringList readUndeletedList(const QString& path) {
    QStringList entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;

    // Read whole lines as bytes: QIODevice::readLine has no length limit when given
    // none, so a path longer than any fixed buffer stays one entry.
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (line.isEmpty()) // a read error: readLine gives at least one byte before the end
            break;
        if (line.endsWith('\n'))
            line.chop(1);
        // Text mode drops a CR only where it ends a line.
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            entries.append(QString::fromLatin1(line));
    }
    sortUndeletedList(entries);
    return entries;
}

void sortUndeletedList(QStringList& entries) {
    std::sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
}

} // namespace MW
