// The conversions behind the pages: megabytes, the FileTypes text, the port
// number and OLE dates.

#include "FileTypes.h"

#include <gtest/gtest.h>

namespace MW {
namespace {

TEST(FormatMegabytes, TwoDecimalsFullStopNoGrouping) {
    EXPECT_EQ(FormatMegabytes(0), "0.00");
    EXPECT_EQ(FormatMegabytes(5'242'879), "5.00"); // just under 5 MB rounds up
    EXPECT_EQ(FormatMegabytes(10'485'760), "10.00");
    EXPECT_EQ(FormatMegabytes(1'572'864), "1.50");
    EXPECT_EQ(FormatMegabytes(1'073'741'824), "1024.00");
    EXPECT_EQ(FormatMegabytes(5'000'000'000ull), "4768.37");
    EXPECT_EQ(FormatMegabytes(1'000'000'000'000ull), "953674.32");
}

TEST(FormatMegabytes, BeyondTwoToTheFiftyThirdWithADoublesPrecision) {
    // 2^53 + 1 bytes is not a double; the text is that of the nearest double.
    EXPECT_EQ(FormatMegabytes((1ull << 53) + 1), "8589934592.00");
    EXPECT_EQ(FormatMegabytes(~0ull), "17592186044416.00");
}

TEST(FileTypesText, BuiltInTableOrderWithSingleCommas) {
    FileTypeFlags all;
    all.fill(true);
    EXPECT_EQ(FileTypes::build(all), ".bak,.dwl,.dwl2,.ac$,.sv$,.bpn,.rvt,.rfa,.skb,.fzb");
    EXPECT_EQ(FileTypes::build({}), "");
    FileTypeFlags two{};
    two[1] = two[9] = true;
    EXPECT_EQ(FileTypes::build(two), ".dwl,.fzb");
    FileTypeFlags three{};
    three[0] = three[2] = three[6] = true;
    EXPECT_EQ(FileTypes::build(three), ".bak,.dwl2,.rvt");
}

TEST(FileTypesText, ReadBackByCaseSensitiveSubstring) {
    auto checked = [](const QString& text) {
        QStringList items;
        const FileTypeFlags flags = FileTypes::parse(text);
        for (std::size_t i = 0; i < kFileTypeCount; ++i)
            if (flags[i])
                items << QLatin1String(fileTypeBoxes()[i].item);
        return items.join(QLatin1Char(' '));
    };
    EXPECT_EQ(checked(".dwl2"), ".dwl .dwl2");
    EXPECT_EQ(FileTypes::build(FileTypes::parse(".dwl2")), ".dwl,.dwl2");
    EXPECT_EQ(checked("*.rvt"), ".rvt");
    EXPECT_EQ(checked("xx.bak.old"), ".bak");
    EXPECT_EQ(checked(".BAK"), "");
    EXPECT_EQ(checked(".bak,.dwl,.dwl2,.ac$,.sv$,.bpn,.rvt,.rfa,.skb,.fzb"),
              ".bak .dwl .dwl2 .ac$ .sv$ .bpn .rvt .rfa .skb .fzb");
    EXPECT_EQ(checked(""), "");
}

TEST(LeadingInteger, DigitsAfterBlanksAndSignElseZero) {
    EXPECT_EQ(LeadingInteger("3128"), 3128);
    EXPECT_EQ(LeadingInteger("  8080abc"), 8080);
    EXPECT_EQ(LeadingInteger("-12"), -12);
    EXPECT_EQ(LeadingInteger("+7"), 7);
    EXPECT_EQ(LeadingInteger(""), 0);
    EXPECT_EQ(LeadingInteger("port"), 0);
    EXPECT_EQ(LeadingInteger("99999999999999999999"), 2147483647);
}

TEST(OleDate, LocalDaysSinceTheEndOf1899) {
    EXPECT_DOUBLE_EQ(toOleDate(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    EXPECT_DOUBLE_EQ(toOleDate(QDateTime(QDate(1999, 7, 4), QTime(9, 0))), 36345.375);
    EXPECT_DOUBLE_EQ(toOleDate(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
    EXPECT_EQ(fromOleDate(36345.375), QDateTime(QDate(1999, 7, 4), QTime(9, 0)));
    EXPECT_EQ(fromOleDate(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
    // A fraction a hair below midnight is the next day's midnight.
    EXPECT_EQ(fromOleDate(36345.9999999999), QDateTime(QDate(1999, 7, 5), QTime(0, 0)));
    EXPECT_FALSE(fromOleDate(std::numeric_limits<double>::quiet_NaN()).isValid());

    // The last Sunday of March: a day that changes to summer time in many zones.
    const QDateTime odd(QDate(2003, 3, 30), QTime(23, 59, 58, 123));
    EXPECT_EQ(fromOleDate(toOleDate(odd)), odd);
    EXPECT_TRUE(sameOleMoment(36345.375, 36345.375 + 1e-11));
    EXPECT_FALSE(sameOleMoment(36345.375, 36345.375 + 1.0 / 86400));
}

} // namespace
} // namespace MW
