// The "/hide" rule and the options, on argument lists as the program gets them.

#include "CommandLine.h"

#include "QtPrint.h"

#include <gtest/gtest.h>

namespace MW {
namespace {

StartOptions parse(const QStringList& arguments) {
    return parseCommandLine(arguments);
}

TEST(CommandLine, HideIsACaseSensitiveSubstringOfTheWholeCommandLine) {
    EXPECT_FALSE(parse({"/usr/bin/mwconfig"}).hide);
    EXPECT_TRUE(parse({"/usr/bin/mwconfig", "/hide"}).hide);
    EXPECT_TRUE(parse({"/usr/bin/mwconfig", "/hidefoo"}).hide);
    EXPECT_TRUE(parse({"/usr/bin/mwconfig", "x/hide"}).hide);
    EXPECT_FALSE(parse({"/usr/bin/mwconfig", "/HIDE"}).hide);
    EXPECT_FALSE(parse({"/usr/bin/mwconfig", "/Hide"}).hide);
    // The program path is part of the command line.
    EXPECT_TRUE(parse({"/opt/hideout/mwconfig"}).hide);
    // Across an argument boundary the blank separates: "/hid" "e" is no match.
    EXPECT_FALSE(parse({"mwconfig", "/hid", "e"}).hide);
    EXPECT_TRUE(parse({"mwconfig", "--hide"}).hide);
    EXPECT_TRUE(parse({"mwconfig", "/hide"}).unknown.isEmpty());
    EXPECT_TRUE(parse({"mwconfig", "/hidefoo"}).unknown.isEmpty());
}

TEST(CommandLine, HelpVersionAndUnknownArguments) {
    EXPECT_TRUE(parse({"mwconfig", "--help"}).help);
    EXPECT_TRUE(parse({"mwconfig", "-h"}).help);
    EXPECT_TRUE(parse({"mwconfig", "--version"}).version);
    const StartOptions options = parse({"mwconfig", "--frobnicate", "/HIDE"});
    EXPECT_FALSE(options.help);
    EXPECT_FALSE(options.hide);
    EXPECT_EQ(options.unknown, QStringList({"--frobnicate", "/HIDE"}));
    EXPECT_TRUE(usageText().contains(QStringLiteral("/hide")));
}

} // namespace
} // namespace MW
