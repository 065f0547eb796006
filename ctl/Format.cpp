#include "Format.h"

#include "Formatting.h"

#include <QRegularExpression>
#include <QStringList>

namespace MW::Ctl {
namespace {

const QStringList kAgeWords = {"day", "week", "month", "3months", "6months", "year"};

} // namespace

QString formatMegabytes(quint64 bytes) {
    return QString::fromStdString(Client::FormatMegabytes(bytes));
}

QString ageWord(int deleteAge) {
    if (deleteAge >= 0 && deleteAge < kAgeWords.size())
        return kAgeWords.at(deleteAge);
    return QStringLiteral("none");
}

std::optional<int> parseAgeWord(const QString& word) {
    const qsizetype index = kAgeWords.indexOf(word.toLower());
    if (index < 0)
        return std::nullopt;
    return static_cast<int>(index);
}

std::optional<QTime> parseTimeOfDay(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,2}):([0-9]{2})$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int hour = match.captured(1).toInt();
    const int minute = match.captured(2).toInt();
    if (hour > 23 || minute > 59)
        return std::nullopt;
    return QTime(hour, minute);
}

} // namespace MW::Ctl
