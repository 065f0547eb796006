#include "PreviewFile.h"

namespace MW::Ctl {
namespace {

bool parseLine(const QByteArray& line, SPreviewEntry& entry) {
    const qsizetype first = line.indexOf('\t');
    const qsizetype second = first < 0 ? -1 : line.indexOf('\t', first + 1);
    bool ok = false;
    const quint64 size = second < 0 ? 0 : line.mid(first + 1, second - first - 1).toULongLong(&ok);
    if (!ok || second + 1 >= line.size())
        return false;
    entry = {QString::fromUtf8(line.left(first)), size, QString::fromUtf8(line.mid(second + 1))};
    return true;
}

} // namespace

QList<SPreviewEntry> parsePreviewFile(const QByteArray& content, int* malformed) {
    QList<SPreviewEntry> entries;
    int bad = 0;
    for (const QByteArray& line : content.split('\n')) {
        if (line.isEmpty())
            continue;
        SPreviewEntry entry;
        if (parseLine(line, entry))
            entries.append(entry);
        else
            ++bad;
    }
    if (malformed)
        *malformed = bad;
    return entries;
}

bool forEachPreviewEntry(QIODevice& file, const std::function<void(const SPreviewEntry&)>& entry,
                         int* malformed) {
    if (!file.seek(0))
        return false;
    int bad = 0;
    bool tooLong = false; // the rest of an over-long line is still to be skipped
    while (!file.atEnd()) {
        QByteArray line = file.readLine(kMaxPreviewLineBytes + 1);
        if (line.isEmpty() && !file.atEnd())
            return false; // a read error
        const bool ended = line.endsWith('\n');
        if (tooLong) {
            tooLong = !ended;
            continue;
        }
        if (!ended && !file.atEnd()) {
            ++bad;
            tooLong = true;
            continue;
        }
        if (ended)
            line.chop(1);
        if (line.isEmpty())
            continue;
        SPreviewEntry parsed;
        if (parseLine(line, parsed))
            entry(parsed);
        else
            ++bad;
    }
    if (malformed)
        *malformed = bad;
    return true;
}

} // namespace MW::Ctl
