// mwctl preview against the real service: it deletes, counts and signalLog
// nothing, and the scan that follows does exactly what it foretold.

#include "CtlFixture.h"
#include "Text.h"

#include <QJsonArray>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace MW::Test {
namespace {

std::set<std::string> lowered(const std::map<std::string, std::string>& paths) {
    std::set<std::string> out;
    for (const auto& [path, reason] : paths)
        out.insert(Common::asciiLower(path));
    return out;
}

TEST_F(CtlTest, PreviewDeletesNothingAndTheFollowingScanAgreesWithIt) {
    const std::string work = tree / "Work";
    for (const auto& dir : {work, work + "/rev.0", work + "/Sub", work + "/Sub/Deep",
                            work + "/Locked", work + "/Target.bak"}) {
        ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0) << dir;
        giveToNobody(dir);
    }
    // What the next scan deletes: the types, the age, the numbered-backup rule, a
    // type that is a substring of the list, a user type, an old link (not its target).
    const std::map<std::string, std::size_t> deleted = {
        {work + "/old.bak", 1000},       {work + "/Plan.DWL", 2000},
        {work + "/house.0003.rvt", 300}, {work + "/rev.0/house.rvt", 40},
        {work + "/odd.dw", 5},           {work + "/Sub/Deep/deep.sv$", 60},
        {work + "/scratch.tmp", 7}};
    for (const auto& [path, size] : deleted)
        makeFile(path, size, 10);
    makeFile(work + "/young.bak", 10, 0);
    makeFile(work + "/notes.txt", 10, 10);
    makeFile(work + "/house.rvt", 10, 10);
    makeFile(work + "/family.rfa", 10, 10);
    ASSERT_EQ(::symlink("notes.txt", (work + "/link.bak").c_str()), 0);
    setAge(work + "/link.bak", 10 * 86400);
    // A link to a folder is neither entered nor removed.
    ASSERT_EQ(::symlink("Sub", (work + "/dirlink.bak").c_str()), 0);
    setAge(work + "/dirlink.bak", 10 * 86400);
    // What it has to leave, and why.
    makeFile(work + "/ro.bak", 11, 10);
    ::chmod((work + "/ro.bak").c_str(), 0444);
    makeFile(work + "/busy.dwl", 22, 10);
    makeFile(work + "/Locked/inner.bak", 33, 10);
    for (const auto& [path, size] : deleted)
        giveToNobody(path);
    for (const char* name : {"/ro.bak", "/busy.dwl", "/Locked/inner.bak", "/scratch.tmp"})
        giveToNobody(work + name);
    ::chmod((work + "/Locked").c_str(), 0555);
    Child holder({"sh", "-c", "exec 3<'" + work + "/busy.dwl'; exec sleep 600"});
    ASSERT_TRUE(waitUntil(
        [&] { return readFile("/proc/" + std::to_string(holder.pid()) + "/comm") == "sleep\n"; }));
    const std::map<std::string, std::string> kept = {{work + "/ro.bak", "read-only"},
                                                     {work + "/busy.dwl", "in-use"},
                                                     {work + "/Locked/inner.bak", "denied"}};

    // A service that may only do what its user may (root may change any folder).
    startService({}, true);
    ASSERT_EQ(ctl({"set", "folder=" + work, "types=.bak,.dwl,*.0*.rvt,.sv$", "other-types=.tmp",
                   "age=week"})
                  .status,
              0);
    ASSERT_TRUE(setProperty(bus.address(), kConfig, kConfigIface, "CleanedSpace", {"t", "5"}));
    const std::string signalLog = tree / "signalLog.txt";
    Child monitor({"sh", "-c",
                   "exec stdbuf -oL gdbus monitor --address '" + bus.address() +
                       "' --dest org.morrowick.Service > '" + signalLog + "'"});
    ASSERT_TRUE(waitUntil([&] {
        busctl(bus.address(), {"call", kName, kEngine, kEngineIface, "fireEvent", "i", "4"});
        return readFile(signalLog).find(".test ()") != std::string::npos;
    }));

    auto r = ctl({"preview", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject doc = parseJson(r.out);
    std::uint64_t bytes = 0;
    for (const auto& [path, size] : deleted)
        bytes += size;
    bytes += std::string("notes.txt").size(); // the link's own size
    EXPECT_EQ(doc["filesToDelete"], static_cast<double>(deleted.size() + 1));
    EXPECT_EQ(doc["bytesToDelete"], static_cast<double>(bytes));
    EXPECT_EQ(doc["filesToKeep"], 3);
    EXPECT_EQ(doc["bytesToKeep"], 66);
    EXPECT_EQ(doc["previewFile"].toString().toStdString(), state + "/preview.tmp");
    std::set<std::string> toDelete;
    for (const auto& item : doc["delete"].toArray())
        toDelete.insert(item.toObject()["path"].toString().toStdString());
    std::set<std::string> expected{work + "/link.bak"};
    for (const auto& [path, size] : deleted)
        expected.insert(path);
    EXPECT_EQ(toDelete, expected);
    std::map<std::string, std::string> toKeep;
    for (const auto& item : doc["keep"].toArray())
        toKeep[item.toObject()["path"].toString().toStdString()] =
            item.toObject()["reason"].toString().toStdString();
    EXPECT_EQ(toKeep, kept);

    // Nothing deleted, nothing counted, no scan event, nothing in the log's trace.
    for (const auto& path : expected)
        EXPECT_TRUE(exists(path) || path == work + "/link.bak") << path;
    EXPECT_EQ(::access((work + "/link.bak").c_str(), F_OK), 0);
    EXPECT_EQ(config("CleanedSpace"), "t 5");
    EXPECT_EQ(engine("UndeletedCount"), "i 0");
    struct stat info {};
    ASSERT_EQ(::stat((state + "/preview.tmp").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    r = ctl({"preview"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto lines = splitLines(r.out);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "        1000  " + work + "/old.bak"),
              lines.end())
        << r.out;
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Total: 8 files, 0.00 MB would be deleted."),
              lines.end())
        << r.out;
    EXPECT_NE(std::find(lines.begin(), lines.end(), "A scan would have to leave these:"),
              lines.end());
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), "          22  " + work + "/busy.dwl  (in-use)"),
        lines.end())
        << r.out;

    // The scan that follows.
    r = ctl({"scan", "--wait", "--json"});
    EXPECT_EQ(r.status, 3) << r.out << r.err;
    const QJsonObject scan = parseJson(r.out);
    EXPECT_EQ(scan["freedBytes"], doc["bytesToDelete"]);
    EXPECT_EQ(scan["undeletedCount"], doc["filesToKeep"]);
    for (const auto& path : expected)
        EXPECT_NE(::access(path.c_str(), F_OK), 0) << path << " is still there";
    for (const auto& [path, reason] : kept)
        EXPECT_TRUE(exists(path)) << path;
    for (const char* name : {"/notes.txt", "/young.bak", "/house.rvt", "/family.rfa"})
        EXPECT_TRUE(exists(work + name)) << name;
    EXPECT_EQ(::access((work + "/dirlink.bak").c_str(), F_OK), 0);
    const auto undeleted = splitLines(ctl({"undeleted"}).out);
    EXPECT_EQ(std::set<std::string>(undeleted.begin(), undeleted.end()), lowered(kept));

    // The scan sent every signal there was.
    const std::string seen = readFile(signalLog);
    EXPECT_EQ(seen.find("scanStarted"), seen.rfind("scanStarted")) << seen;
    ::chmod((work + "/Locked").c_str(), 0755);
}

} // namespace
} // namespace MW::Test
