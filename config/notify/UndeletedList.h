#pragma once

#include <QString>
#include <QStringList>

namespace MW {

// The service's list of files it could not delete: one path per line, one byte per
// character (ISO 8859-1), lines ended by LF or CR LF. Returns the non-empty lines
// sorted; a line of any length is one entry. A missing or unreadable file gives an
// empty list.
QStringList readUndeletedList(const QString& path);

// The order the list dialog shows: case-insensitive, ties broken by the exact text.
void sortUndeletedList(QStringList& entries);

} // namespace MW
