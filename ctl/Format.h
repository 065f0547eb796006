#pragma once
// Texts mwctl shows: megabytes as the configurator shows them, age words, times
// of day and OLE dates (days since 30 December 1899, local time).

#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

namespace MW::Ctl {

// Megabytes of 1 048 576 bytes, two decimals, a full stop, no grouping.
QString formatMegabytes(quint64 bytes);

// "day", "week", "month", "3months", "6months", "year" for DeleteAge 0 to 5;
// "none" for anything else (no minimum age).
QString ageWord(int deleteAge);
// The DeleteAge value of an age word, or nothing for an unknown word.
std::optional<int> parseAgeWord(const QString& word);

// "HH:MM" with an hour of 0 to 23 and a minute of 0 to 59; one-digit hours allowed.
std::optional<QTime> parseTimeOfDay(const QString& text);

// Local date and time <-> OLE date, to the second.
double toOleDate(const QDateTime& local);
QDateTime fromOleDate(double oleDate);

} // namespace MW::Ctl
