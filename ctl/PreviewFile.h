#pragma once
// Reading the service's preview file: one line per file the next scan would
// touch, "ACTION TAB SIZE TAB PATH".

#include <QByteArray>
#include <QList>
#include <QString>

namespace MW::Ctl {

struct SPreviewEntry {
    QString action; // "delete", "read-only", "in-use" or "denied"
    quint64 size = 0;
    QString path; // as the service wrote it (escaped)
};

// Lines that do not have the form are skipped and counted in `malformed`.
QList<SPreviewEntry> parsePreviewFile(const QByteArray& content, int* malformed = nullptr);

} // namespace MW::Ctl
