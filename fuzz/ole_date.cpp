// The date texts a client may send as StartTime ("YYYY-MM-DD HH:MM", "MM/DD/YY",
// a plain time, ...). Input: the text. A date accepted is one the service can
// compute with: within the OLE range, with a valid calendar day and time of day.
#include "FuzzInput.h"
#include "OleDate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto date = MW::OleDate::parse(MW::Fuzz::asText(data, size));
    if (!date)
        return 0;
    if (!MW::OleDate::isInRange(*date))
        MW::Fuzz::fail("a date outside the OLE range accepted: " + std::to_string(*date));
    const std::tm tm = MW::OleDate::toTm(*date);
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour < 0 ||
        tm.tm_hour > 23 || tm.tm_min < 0 || tm.tm_min > 59 || tm.tm_sec < 0 || tm.tm_sec > 59 ||
        tm.tm_year + 1900 < 100 || tm.tm_year + 1900 > 9999)
        MW::Fuzz::fail("an accepted date has no valid calendar day or time");
    if (MW::OleDate::fromTm(tm) != *date)
        MW::Fuzz::fail("an accepted date does not survive its calendar form");
    return 0;
}
