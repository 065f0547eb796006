#pragma once
// Reading the service's preview file: one line per file the next scan would
// touch, "ACTION TAB SIZE TAB PATH".

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <functional>

namespace MW::Ctl {

struct SPreviewEntry {
    QString action; // "delete", "read-only", "in-use" or "denied"
    quint64 size = 0;
    QString path; // as the service wrote it (escaped)
};

// Lines that do not have the form are skipped and counted in `malformed`.
QList<SPreviewEntry> parsePreviewFile(const QByteArray& content, int* malformed = nullptr);

// The longest line taken from a preview file; a longer one is malformed.
inline constexpr qint64 kMaxPreviewLineBytes = 64 * 1024;

// Hands the entries of the open preview file to `entry` as they are read, a
// line at a time from the start, so that a list of any length takes no more
// memory than its longest line. false on a read error.
bool forEachPreviewEntry(QIODevice& file, const std::function<void(const SPreviewEntry&)>& entry,
                         int* malformed = nullptr);

} // namespace MW::Ctl
