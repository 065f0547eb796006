#include "CleaningRules.h"

#include "Contract.h"
#include "OleDate.h"
#include "Text.h"

#include <array>
#include <cmath>

namespace MW::Rules {
namespace {

// The characters with the Unicode White_Space property, UTF-8 encoded.
constexpr std::array<std::string_view, 25> kWhiteSpace = {
    "\t",           "\n",           "\v",           "\f",           "\r",           " ",
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82",
    "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88",
    "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F",
    "\xE3\x80\x80",
};

// January to December; February always counts 28 days.
constexpr std::array<int, 12> kMonthDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// The sum of the lengths of the `count` months before `month` (1-12).
int previousMonthsDays(int month, int count) {
    int days = 0;
    for (int i = 1; i <= count; ++i) {
        const int previous = ((month - 1 - i) % 12 + 12) % 12; // 0-based, December before January
        days += kMonthDays[static_cast<std::size_t>(previous)];
    }
    return days;
}

} // namespace

std::string trim(std::string_view text) {
    for (bool trimmed = true; trimmed && !text.empty();) {
        trimmed = false;
        for (const std::string_view space : kWhiteSpace) {
            if (text.starts_with(space)) {
                text.remove_prefix(space.size());
                trimmed = true;
            }
            if (text.ends_with(space)) {
                text.remove_suffix(space.size());
                trimmed = true;
            }
        }
    }
    return std::string(text);
}

std::string prepareOtherList(std::string_view otherFileTypes) {
    return trim(Common::asciiLower(otherFileTypes));
}

std::string prepareTypeList(std::string_view fileTypes, std::string_view otherFileTypes) {
    std::string list = trim(Common::asciiLower(fileTypes));
    const std::string other = prepareOtherList(otherFileTypes);
    if (!other.empty())
        list += "," + other;
    return list;
}

double deleteAgeSpan(std::int32_t deleteAge, int currentMonth) {
    switch (deleteAge) {
    case eDA_Day:
        return 1;
    case eDA_Week:
        return 7;
    case eDA_Month:
        return previousMonthsDays(currentMonth, 1);
    case eDA_3Month:
        return previousMonthsDays(currentMonth, 3);
    case eDA_6Month:
        return previousMonthsDays(currentMonth, 6);
    case eDA_Year:
        return 365;
    default: // eDA_None and every value outside the enumeration
        return 0;
    }
}

std::optional<std::string> fileTest(std::string_view path, std::string_view typeList,
                                    std::string_view otherList) {
    // The last "." of the whole path, so a dot in a folder name counts when the
    // file name has none.
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    std::string lowered = Common::asciiLower(path);
    const std::string_view extension = std::string_view(lowered).substr(dot);
    // Plain substring search: item boundaries and commas play no part.
    if (typeList.find(extension) == std::string_view::npos)
        return std::nullopt;
    if (extension != ".rvt" && extension != ".rfa")
        return lowered;
    // Numbered backup copies: the user typed the type, or ".0" is anywhere in the
    // path (also in a folder name).
    if (otherList.find(extension) != std::string_view::npos ||
        lowered.find(".0") != std::string::npos)
        return lowered;
    return std::nullopt;
}

bool isOldEnough(double modifyDate, double currentDate, double minimumAge) {
    // Far beyond any file time; keeps the conversion to seconds in range.
    constexpr double kLimit = 1e10;
    if (!(std::fabs(modifyDate) < kLimit) || !(std::fabs(currentDate) < kLimit) ||
        !std::isfinite(minimumAge))
        return false;
    // Both dates hold whole seconds: compare whole seconds, so that a difference
    // of exactly the minimum age is not judged greater by a rounding error, and
    // dates before 1900 (negative, with a positive time of day) count linearly.
    const std::int64_t ageSeconds =
        OleDate::toWallSeconds(currentDate) - OleDate::toWallSeconds(modifyDate);
    return static_cast<double>(ageSeconds) > minimumAge * OleDate::kSecondsPerDay;
}

} // namespace MW::Rules
