// mwctl's pure parts: the command line, the set arguments, the texts it shows,
// the preview file, and the bash completion.

#include "CtlLink.h"
#include "CommandLine.h"
#include "Commands.h"
#include "Format.h"
#include "PreviewFile.h"
#include "Process.h"
#include "SetArguments.h"
#include "TempDir.h"

#include <QBuffer>
#include <QDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace MW::Ctl {
namespace {

TEST(CtlFormat, AgeWordsAndTimes) {
    for (int age = 0; age <= 5; ++age)
        EXPECT_EQ(parseAgeWord(ageWord(age)), age);
    EXPECT_EQ(ageWord(-1), "none");
    EXPECT_EQ(ageWord(42), "none");
    EXPECT_EQ(parseAgeWord("3Months"), 3);
    EXPECT_FALSE(parseAgeWord("fortnight"));
    EXPECT_FALSE(parseAgeWord(""));

    EXPECT_EQ(parseTimeOfDay("09:30"), QTime(9, 30));
    EXPECT_EQ(parseTimeOfDay("0:00"), QTime(0, 0));
    EXPECT_EQ(parseTimeOfDay("23:59"), QTime(23, 59));
    for (const char* bad :
         {"25:00", "24:00", "12:60", "12", "12:5", "ab:cd", "12:30:00", " 9:30", ""})
        EXPECT_FALSE(parseTimeOfDay(bad)) << bad;
}

TEST(CtlCommandLine, OptionsGoAnywhereAndMistakesAreNamed) {
    auto line = parseCommandLine({"scan", "--json", "--wait", "--system"});
    EXPECT_EQ(line.error, "");
    EXPECT_EQ(line.command, "scan");
    EXPECT_TRUE(line.json);
    EXPECT_TRUE(line.wait);
    EXPECT_EQ(line.bus, EBusChoice::System);

    line = parseCommandLine({"--user", "set", "age=day", "--", "folder=--odd"});
    EXPECT_EQ(line.error, "");
    EXPECT_EQ(line.bus, EBusChoice::User);
    EXPECT_EQ(line.args, QStringList({"age=day", "folder=--odd"}));

    EXPECT_EQ(parseCommandLine({}).error, "no command given");
    EXPECT_EQ(parseCommandLine({"clean"}).error, "unknown command clean");
    EXPECT_EQ(parseCommandLine({"status", "--verbose"}).error, "unknown option --verbose");
    EXPECT_EQ(parseCommandLine({"status", "--wait"}).error, "--wait belongs to scan");
    EXPECT_EQ(parseCommandLine({"set"}).error, "set needs at least one name=value");
    EXPECT_EQ(parseCommandLine({"undeleted", "x"}).error, "undeleted takes no arguments");
    EXPECT_EQ(parseCommandLine({"--user", "--system", "status"}).error,
              "--user and --system exclude each other");
    // --help and --version need no command.
    EXPECT_TRUE(parseCommandLine({"--help"}).help);
    EXPECT_EQ(parseCommandLine({"--version"}).error, "");
}

TEST(CtlSetArguments, EveryMistakeIsReportedAndGoodValuesAreNormalised) {
    MW::Test::TempDir dir;
    ::mkdir((dir / "Plans").c_str(), 0755);
    MW::Test::writeFile(dir / "file.txt", "x");

    auto ok = parseSetArguments(
        {"folder=Plans/../Plans/", "types=bak,dwl", "other-types=.tmp", "age=6months", "time=7:05"},
        QString::fromStdString(dir.path()));
    EXPECT_TRUE(ok.errors.isEmpty()) << ok.errors.join("\n").toStdString();
    EXPECT_EQ(ok.changes.folder, QString::fromStdString(dir / "Plans"));
    EXPECT_EQ(ok.changes.fileTypes, ".bak,.dwl");
    EXPECT_EQ(ok.changes.otherTypes, ".tmp");
    EXPECT_EQ(ok.changes.deleteAge, 4);
    EXPECT_EQ(ok.changes.startTime, QTime(7, 5));
    EXPECT_TRUE(ok.warnings.isEmpty());
    EXPECT_EQ(ok.changes.names, QStringList({"folder", "types", "other-types", "age", "time"}));

    auto bad =
        parseSetArguments({"folder=missing", "types=.bak,.doc", "age=fortnight", "time=25:00",
                           "colour=red", "novalue", "age=day", "other-types=tmp,.log"},
                          QString::fromStdString(dir.path()));
    EXPECT_EQ(bad.errors,
              QStringList({"folder missing does not exist",
                           "unknown type \".doc\" (known: "
                           ".bak,.dwl,.dwl2,.ac$,.sv$,.bpn,.rvt,.rfa,.skb,.fzb)",
                           "unknown age \"fortnight\" (known: day, week, month, 3months, "
                           "6months, year)",
                           "time \"25:00\" is not a time of day HH:MM (00:00 to 23:59)",
                           "unknown setting \"colour\" (known: folder, types, other-types, "
                           "age, time)",
                           "\"novalue\" is not NAME=VALUE", "age is given twice"}));
    EXPECT_EQ(bad.warnings, QStringList({"other-types item \"tmp\" has no dot and matches no "
                                         "file; write .tmp"}));

    auto file =
        parseSetArguments(QStringList{"folder=" + QString::fromStdString(dir / "file.txt")}, "/");
    EXPECT_EQ(file.errors.size(), 1);
    EXPECT_TRUE(file.errors.front().endsWith("is not a folder"));
    EXPECT_EQ(parseSetArguments({"folder="}, "/").errors, QStringList({"folder is empty"}));
    // An empty type list is a choice: no standard type.
    EXPECT_EQ(parseSetArguments({"types="}, "/").changes.fileTypes, "");
}

// A refusal for want of rights (from a service that cannot be asked first)
// ends like the refusal mwctl finds out itself: status 4; anything else with 1.
TEST(CtlBusError, AccessDeniedEndsWithFourOtherRefusalsWithOne) {
    const CCtlError denied =
        callError(QStringLiteral("the service refused to change age"),
                  CCallError(QStringLiteral("Only root may."),
                             QStringLiteral("org.freedesktop.DBus.Error.AccessDenied")));
    EXPECT_EQ(denied.exitStatus(), kExitNotAllowed);
    EXPECT_STREQ(denied.what(), "the service refused to change age: Only root may. "
                                "(org.freedesktop.DBus.Error.AccessDenied)");
    EXPECT_EQ(denied.name(), QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"));
    const CCtlError late =
        callError(QStringLiteral("x"), CCallError(QStringLiteral("late"),
                                                  QStringLiteral("org.freedesktop.DBus.Error.NoReply")));
    EXPECT_EQ(late.exitStatus(), kExitError);
    EXPECT_STREQ(late.what(), "x: late (org.freedesktop.DBus.Error.NoReply)");
    // A failure without a bus error (no reply could be had at all) is its text.
    EXPECT_STREQ(callError(QStringLiteral("x"), CCallError(QStringLiteral("Invalid pointer"))).what(),
                 "x: Invalid pointer");
}

TEST(CtlPreviewFile, LinesAreSplitAtTheFirstTwoTabsOnly) {
    int malformed = -1;
    const auto entries = parsePreviewFile("delete\t10\t/a/x.bak\n"
                                          "read-only\t0\t/a/with\ttab.bak\n"
                                          "garbage line\n"
                                          "delete\tten\t/a/y.bak\n"
                                          "in-use\t18446744073709551615\t/a/\\x0a.dwl\n",
                                          &malformed);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].action, "delete");
    EXPECT_EQ(entries[0].size, 10u);
    EXPECT_EQ(entries[0].path, "/a/x.bak");
    EXPECT_EQ(entries[1].path, "/a/with\ttab.bak");
    EXPECT_EQ(entries[2].size, 18446744073709551615ULL);
    EXPECT_EQ(entries[2].path, "/a/\\x0a.dwl");
    EXPECT_EQ(malformed, 2);
}

// Read a line at a time, a preview file gives what the whole-file parse gives;
// a line past the bound is skipped whole (counted), and the lines after it
// still come; a second pass starts again from the top.
TEST(CtlPreviewFile, AStreamedReadMatchesTheWholeOneAndSkipsOverlongLines) {
    const QByteArray content = "delete\t10\t/a/x.bak\n"
                               "delete\t5\t/a/" + QByteArray(kMaxPreviewLineBytes, 'z') + "\n"
                               "garbage line\n"
                               "in-use\t7\t/a/last.dwl";
    QBuffer buffer;
    buffer.setData(content);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    for (int pass = 0; pass < 2; ++pass) {
        QList<SPreviewEntry> entries;
        int malformed = -1;
        ASSERT_TRUE(forEachPreviewEntry(
            buffer, [&](const SPreviewEntry& e) { entries.append(e); }, &malformed));
        ASSERT_EQ(entries.size(), 2);
        EXPECT_EQ(entries[0].path, "/a/x.bak");
        EXPECT_EQ(entries[1].action, "in-use");
        EXPECT_EQ(entries[1].path, "/a/last.dwl");
        EXPECT_EQ(malformed, 2);
    }
}

TEST(CtlCompletion, CompletesCommandsOptionsNamesAndValues) {
    MW::Test::TempDir dir;
    ::mkdir((dir / "drawings").c_str(), 0755);
    const auto complete = [](const std::string& line) {
        const auto r = MW::Test::runCommand({"bash", "-c",
                                             "source '" MW_COMPLETION_FILE
                                             "'; COMP_LINE=\"$1\"; COMP_POINT=${#COMP_LINE}; "
                                             "_mwctl; printf '%s|' \"${COMPREPLY[@]}\"",
                                             "_", line});
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    EXPECT_EQ(complete("mwctl "), "status|set|scan|undeleted|reset-count|preview|");
    EXPECT_EQ(complete("mwctl --json re"), "reset-count|");
    EXPECT_EQ(complete("mwctl scan --w"), "--wait|");
    EXPECT_EQ(complete("mwctl status --w"), "|");
    EXPECT_EQ(complete("mwctl set a"), "age=|");
    // Bash breaks words at '=' and replaces what follows it.
    EXPECT_EQ(complete("mwctl set age=3"), "3months|");
    EXPECT_EQ(complete("mwctl set types=.bak,.dw"), ".bak,.dwl|.bak,.dwl2|");
    EXPECT_EQ(complete("mwctl set folder=" + dir / "dr"), dir / "drawings|");
}

} // namespace
} // namespace MW::Ctl
