#include "UndeletedList.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace MW {
namespace {

QString qpath(const std::string& path) {
    return QString::fromStdString(path);
}

TEST(UndeletedList, SkipsEmptyLinesAcceptsBothLineEndsAndSorts) {
    MW::Test::TempDir dir;
    const std::string file = dir / "undeleted.tmp";
    MW::Test::writeFile(file, "/d/zeta.bak\r\n\r\n/d/alpha.dwl\n\n/d/Beta.sv$\r\n/d/mid.bak");

    EXPECT_EQ(readUndeletedList(qpath(file)),
              (QStringList{"/d/alpha.dwl", "/d/Beta.sv$", "/d/mid.bak", "/d/zeta.bak"}));
}

TEST(UndeletedList, EachByteIsOneCharacterAndInnerCarriageReturnsStay) {
    MW::Test::TempDir dir;
    const std::string file = dir / "undeleted.tmp";
    MW::Test::writeFile(file, "/d/caf\xe9.bak\r\n/d/a\rb.bak\n");

    const QStringList entries = readUndeletedList(qpath(file));
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0], QString::fromUtf8("/d/a\rb.bak"));
    EXPECT_EQ(entries[1], QString::fromUtf8("/d/caf\xc3\xa9.bak"));
}

TEST(UndeletedList, LongLinesStayWhole) {
    MW::Test::TempDir dir;
    const std::string file = dir / "undeleted.tmp";
    const std::string longPath = "/d/" + std::string(4093, 'x');
    MW::Test::writeFile(file, longPath + "\r\n/d/short.bak\r\n" + std::string(259, 'y') + "\r\n");

    const QStringList entries = readUndeletedList(qpath(file));
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0], "/d/short.bak");
    EXPECT_EQ(entries[1], QString::fromStdString(longPath));
    EXPECT_EQ(entries[2], QString(259, 'y'));
}

TEST(UndeletedList, MissingOrUnreadableFileGivesEmptyList) {
    MW::Test::TempDir dir;
    EXPECT_TRUE(readUndeletedList(qpath(dir / "absent.tmp")).isEmpty());
    EXPECT_TRUE(readUndeletedList(qpath(dir.path())).isEmpty());
    EXPECT_TRUE(readUndeletedList(QString()).isEmpty());
    MW::Test::writeFile(dir / "empty.tmp", "");
    EXPECT_TRUE(readUndeletedList(qpath(dir / "empty.tmp")).isEmpty());
}

} // namespace
} // namespace MW
