// The four events of the service reach the link's signals, in the order sent.

#include "CServiceLink.h"
#include "QtPrint.h"
#include "ServiceEnvironment.h"
#include "Spin.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace MW::Test {
namespace {

class LinkEvents : public ServiceTest {
protected:
    void record(CServiceLink& link) {
        QObject::connect(&link, &CServiceLink::scanStarted, [this] { events << "started"; });
        QObject::connect(&link, &CServiceLink::scanFinished, [this] { events << "finished"; });
        QObject::connect(&link, &CServiceLink::test, [this] { events << "test"; });
        QObject::connect(&link, &CServiceLink::updateCleanedSpace,
                         [this](quint64 total) { events << QString::number(total); });
    }
    bool testEventArrives(CServiceLink& link) {
        events.clear();
        link.fireEvent(4);
        return spinUntil([&] { return events.contains("test"); }, 20000);
    }
    QStringList events;
};

TEST_F(LinkEvents, AScanSendsStartedTheGrowingTotalAndFinishedInOrder) {
    TempDir tree;
    const std::string old1 = tree / "a.bak", old2 = tree / "b.dwl", young = tree / "c.bak";
    writeFile(old1, std::string(1000, 'a'));
    writeFile(old2, std::string(2345, 'b'));
    writeFile(young, "y");
    setAge(old1, 40 * 86400);
    setAge(old2, 40 * 86400);

    CServiceLink link;
    record(link);
    ASSERT_TRUE(link.createEngine());
    auto config = link.Config();
    config->setScanFolder(QString::fromStdString(tree.path()));
    config->setFileTypes(QStringLiteral(".bak,.dwl"));
    config->setDeleteAge(1);
    config->setCleanedSpace(5'000'000'000ull);
    ASSERT_TRUE(link.adviseEngine());
    ASSERT_TRUE(testEventArrives(link));

    events.clear();
    link.scanNow();
    ASSERT_TRUE(spinUntil([&] { return events.contains("finished"); }));
    ASSERT_EQ(events.size(), 4) << events.join(',').toStdString();
    EXPECT_EQ(events.front(), "started");
    EXPECT_EQ(events.back(), "finished");
    // Each deleted file raises the total; the order of the two files is the walk's.
    const QString last = events[2];
    EXPECT_EQ(last, QString::number(5'000'000'000ull + 1000 + 2345));
    EXPECT_TRUE(events[1] == QString::number(5'000'000'000ull + 1000) ||
                events[1] == QString::number(5'000'000'000ull + 2345));
    EXPECT_FALSE(exists(old1));
    EXPECT_TRUE(exists(young));
}

TEST_F(LinkEvents, UnadvisedLinksHearNothingAndANewServiceNeedsANewSubscription) {
    CServiceLink link;
    record(link);
    ASSERT_TRUE(link.createEngine());
    ASSERT_TRUE(link.adviseEngine());
    ASSERT_TRUE(testEventArrives(link));

    link.unadviseEngine();
    EXPECT_FALSE(link.isAdvised());
    events.clear();
    ASSERT_TRUE(service.callEngine({"fireEvent", "i", "4"}));
    spinFor(500);
    EXPECT_TRUE(events.isEmpty());

    // Restarted service: the old subscription named the old process.
    ASSERT_TRUE(link.adviseEngine());
    ASSERT_TRUE(service.killService());
    ASSERT_TRUE(service.activate());
    events.clear();
    ASSERT_TRUE(service.callEngine({"fireEvent", "i", "4"}));
    spinFor(500);
    EXPECT_TRUE(events.isEmpty());

    ASSERT_TRUE(link.createEngine());
    ASSERT_TRUE(link.adviseEngine());
    EXPECT_TRUE(testEventArrives(link));
}

} // namespace
} // namespace MW::Test
