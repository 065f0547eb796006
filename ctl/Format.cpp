#include "Format.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>

namespace MW::Ctl {
namespace {

const QStringList kAgeWords = {"day", "week", "month", "3months", "6months", "year"};
const QDate kOleEpoch(1899, 12, 30);
constexpr qint64 kSecondsPerDay = 86400;

} // namespace

QString formatMegabytes(quint64 bytes) {
    // The configurator multiplies by 1/1024 twice; 'f' formatting never groups
    // digits and always uses a full stop, whatever the locale.
    const double megabytes = static_cast<double>(bytes) * 0.0009765625 * 0.0009765625;
    return QString::number(megabytes, 'f', 2);
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

double toOleDate(const QDateTime& local) {
    const qint64 days = kOleEpoch.daysTo(local.date());
    const qint64 seconds = local.time().msecsSinceStartOfDay() / 1000;
    // Before the epoch the fraction still counts forward from the day's start.
    const double fraction = static_cast<double>(seconds) / kSecondsPerDay;
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

QDateTime fromOleDate(double oleDate) {
    const double whole = std::trunc(oleDate);
    const auto seconds =
        static_cast<qint64>(std::llround(std::fabs(oleDate - whole) * kSecondsPerDay));
    QDate date = kOleEpoch.addDays(static_cast<qint64>(whole));
    if (seconds >= kSecondsPerDay)
        return QDateTime(date.addDays(1), QTime(0, 0));
    return QDateTime(date, QTime(0, 0).addSecs(static_cast<int>(seconds)));
}

} // namespace MW::Ctl
