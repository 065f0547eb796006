// The one OLE date conversion to the millisecond that the clients use (the
// service's whole-second forms are tested with the engine).

#include "OleDateTime.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace MW::OleDate {
namespace {

SDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return {y, mo, d, h, mi, s, ms};
}

TEST(OleDateTime, LocalDaysSinceTheEndOf1899) {
    EXPECT_DOUBLE_EQ(fromDateTime(at(1899, 12, 30)), 0.0);
    EXPECT_DOUBLE_EQ(fromDateTime(at(1999, 7, 4, 9)), 36345.375);
    EXPECT_DOUBLE_EQ(fromDateTime(at(1900, 1, 2, 6)), 3.25);
    // Before the epoch the integer part counts back while the fraction still adds
    // the time of day: -1.25 is 29 December 1899, 06:00.
    EXPECT_DOUBLE_EQ(fromDateTime(at(1899, 12, 29, 6)), -1.25);
    EXPECT_EQ(toDateTime(36345.375), at(1999, 7, 4, 9));
    EXPECT_EQ(toDateTime(-1.25), at(1899, 12, 29, 6));
    EXPECT_EQ(toDateTime(0.0), at(1899, 12, 30));
}

TEST(OleDateTime, MillisecondsRoundTripAndMidnightRoundsUp) {
    // The last Sunday of March: a day that changes to summer time in many zones,
    // which a wall-clock date does not know.
    const SDateTime odd = at(2003, 3, 30, 23, 59, 58, 123);
    EXPECT_EQ(toDateTime(fromDateTime(odd)), odd);
    for (int year : {100, 1899, 1900, 2000, 2400, 9999})
        for (int ms : {0, 1, 499, 999})
            EXPECT_EQ(toDateTime(fromDateTime(at(year, 2, 28, 23, 59, 59, ms))),
                      at(year, 2, 28, 23, 59, 59, ms))
                << year << " " << ms;
    // A fraction a hair below midnight is the next day's midnight, either side of
    // the epoch.
    EXPECT_EQ(toDateTime(36345.9999999999), at(1999, 7, 5));
    EXPECT_EQ(toDateTime(-1.9999999999), at(1899, 12, 30));
}

TEST(OleDateTime, NoDateForWhatIsNotOne) {
    EXPECT_FALSE(toDateTime(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(toDateTime(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(toDateTime(1e300));
    EXPECT_TRUE(toDateTime(kMaxDate));
}

TEST(OleDateTime, SameMomentToTheMillisecond) {
    EXPECT_TRUE(sameMoment(36345.375, 36345.375 + 1e-11));
    EXPECT_FALSE(sameMoment(36345.375, 36345.375 + 1.0 / 86400));
    EXPECT_FALSE(sameMoment(36345.375, 36345.375 + 1.0 / 86'400'000));
    EXPECT_TRUE(sameMoment(std::nan(""), std::nan("")));
}

} // namespace
} // namespace MW::OleDate
