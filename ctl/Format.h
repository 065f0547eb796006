#pragma once
// Texts mwctl shows and takes: megabytes as the configurator shows them, age
// words and times of day.

#include <QString>
#include <QTime>
#include <optional>

namespace MW::Ctl {

// Client::FormatMegabytes as a QString.
QString formatMegabytes(quint64 bytes);

// "day", "week", "month", "3months", "6months", "year" for DeleteAge 0 to 5;
// "none" for anything else (no minimum age).
QString ageWord(int deleteAge);
// The DeleteAge value of an age word, or nothing for an unknown word.
std::optional<int> parseAgeWord(const QString& word);

// "HH:MM" with an hour of 0 to 23 and a minute of 0 to 59; one-digit hours allowed.
std::optional<QTime> parseTimeOfDay(const QString& text);

} // namespace MW::Ctl
