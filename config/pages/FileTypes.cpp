#include "FileTypes.h"

#include <cmath>
#include <limits>

namespace MW {

namespace {
constexpr qint64 kMsPerDay = 86'400'000;
const QDate kOleEpoch(1899, 12, 30);
} // namespace

const std::array<FileTypeBox, kFileTypeCount>& fileTypeBoxes() {
    static const std::array<FileTypeBox, kFileTypeCount> boxes{{
        {".bak", ".bak"},
        {".dwl", ".dwl"},
        {".dwl2", ".dwl2"},
        {".ac$", ".ac$"},
        {".sv$", ".sv$"},
        {".bpn", ".bpn"},
        // The service deletes only the numbered backup copies of these two types.
        {"*.0*.rvt", ".rvt"},
        {"*.0*.rfa", ".rfa"},
        {".skb", ".skb"},
        {".fzb", ".fzb"},
    }};
    return boxes;
}

namespace FileTypes {

QString build(const FileTypeFlags& checked) {
    QString text;
    for (std::size_t i = 0; i < kFileTypeCount; ++i) {
        if (!checked[i])
            continue;
        if (!text.isEmpty())
            text += QLatin1Char(',');
        text += QLatin1String(fileTypeBoxes()[i].item);
    }
    return text;
}

FileTypeFlags parse(const QString& text) {
    FileTypeFlags flags{};
    for (std::size_t i = 0; i < kFileTypeCount; ++i)
        flags[i] = text.contains(QLatin1String(fileTypeBoxes()[i].item), Qt::CaseSensitive);
    return flags;
}

} // namespace FileTypes

QString FormatMegabytes(quint64 bytes) {
    const double megabytes = static_cast<double>(bytes) * 0.0009765625 * 0.0009765625;
    return QString::number(megabytes, 'f', 2);
}

int LeadingInteger(const QString& text) {
    qsizetype at = 0;
    while (at < text.size() && text[at].isSpace())
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == QLatin1Char('+') || text[at] == QLatin1Char('-'))) {
        negative = text[at] == QLatin1Char('-');
        ++at;
    }
    qint64 value = 0;
    for (; at < text.size() && text[at] >= QLatin1Char('0') && text[at] <= QLatin1Char('9'); ++at) {
        value = value * 10 + (text[at].unicode() - u'0');
        // Saturate rather than overflow on absurdly long digit runs.
        if (value > std::numeric_limits<int>::max()) {
            value = std::numeric_limits<int>::max();
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

double toOleDate(const QDateTime& local) {
    const QDateTime dt = local.toLocalTime();
    const auto days = static_cast<double>(kOleEpoch.daysTo(dt.date()));
    const double fraction = static_cast<double>(dt.time().msecsSinceStartOfDay()) / kMsPerDay;
    // Before the epoch the integer part counts back while the fraction still adds
    // the time of day: -1.25 is 29 December 1899, 06:00.
    return days >= 0 ? days + fraction : days - fraction;
}

QDateTime fromOleDate(double oleDate) {
    if (!std::isfinite(oleDate))
        return {};
    const double whole = std::trunc(oleDate);
    const double fraction = std::fabs(oleDate - whole);
    auto ms = static_cast<qint64>(std::llround(fraction * kMsPerDay));
    qint64 days = static_cast<qint64>(whole);
    if (ms >= kMsPerDay) { // the time of day rounded up to the next midnight
        ms -= kMsPerDay;
        days += 1;
    }
    return QDateTime(kOleEpoch.addDays(days),
                     QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
}

bool sameOleMoment(double a, double b) {
    return fromOleDate(a) == fromOleDate(b);
}

} // namespace MW
