#pragma once
// Which files a scan deletes: pure functions of their inputs.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace MW::Rules {

// Removes white space (the six ASCII ones and the Unicode spaces) from both ends.
std::string trim(std::string_view text);

// The other list: OtherFileTypes lowered (A-Z only) and trimmed.
std::string prepareOtherList(std::string_view otherFileTypes);
// The type list: FileTypes lowered and trimmed, then "," and the other list when
// that is not empty.
std::string prepareTypeList(std::string_view fileTypes, std::string_view otherFileTypes);

// The minimum age in days for a DeleteAge value in the given local month (1-12).
// February always counts 28 days.
double deleteAgeSpan(std::int32_t deleteAge, int currentMonth);

// The file test on a full path: the lowered path when the file is a candidate.
std::optional<std::string> fileTest(std::string_view path, std::string_view typeList,
                                    std::string_view otherList);

// The age test: strictly older than the minimum age. Both dates are OLE dates.
bool isOldEnough(double modifyDate, double currentDate, double minimumAge);

} // namespace MW::Rules
