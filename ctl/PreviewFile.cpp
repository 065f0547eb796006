#include "PreviewFile.h"

namespace MW::Ctl {

QList<SPreviewEntry> parsePreviewFile(const QByteArray& content, int* malformed) {
    QList<SPreviewEntry> entries;
    int bad = 0;
    for (const QByteArray& line : content.split('\n')) {
        if (line.isEmpty())
            continue;
        const qsizetype first = line.indexOf('\t');
        const qsizetype second = first < 0 ? -1 : line.indexOf('\t', first + 1);
        bool ok = false;
        const quint64 size =
            second < 0 ? 0 : line.mid(first + 1, second - first - 1).toULongLong(&ok);
        if (!ok || second + 1 >= line.size()) {
            ++bad;
            continue;
        }
        entries.append(
            {QString::fromUtf8(line.left(first)), size, QString::fromUtf8(line.mid(second + 1))});
    }
    if (malformed)
        *malformed = bad;
    return entries;
}

} // namespace MW::Ctl
