// CServiceLink and CConfigRef against the real mwservice on a private bus.

#include "CServiceLink.h"
#include "ContractSupport.h"
#include "LocalClock.h"
#include "QtPrint.h"
#include "ServiceEnvironment.h"
#include "Spin.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace MW::Test {
namespace {

using LinkTest = ServiceTest;

TEST_F(LinkTest, CreatingTheEngineActivatesTheServiceAndReadsItsValues) {
    ASSERT_EQ(service.servicePid(), -1);
    CServiceLink link;
    ASSERT_TRUE(link.createEngine());
    EXPECT_TRUE(link.hasEngine());
    EXPECT_GT(service.servicePid(), 0) << "activation started the service";
    EXPECT_TRUE(link.engineOwner().startsWith(QLatin1Char(':')));

    EXPECT_EQ(link.UndeletedLog().toStdString(), service.stateFile("undeleted.tmp"));
    EXPECT_EQ(link.UndeletedCount(), 0);
    EXPECT_EQ(link.ActivityState(), 0);
    const auto config = link.Config();
    ASSERT_NE(config, nullptr);
    // The per-user service's default folder is the user's home.
    EXPECT_EQ(config->ScanFolder().toStdString(), service.sandbox().home)
        << "the service's default";
    EXPECT_EQ(config->CleanedSpace(), 0u);
}

TEST_F(LinkTest, EveryConfigPropertyRoundTripsWithItsContractType) {
    CServiceLink link;
    ASSERT_TRUE(link.createEngine());
    auto config = link.Config();
    ASSERT_NE(config, nullptr);

    const QString folder = QStringLiteral("/data/Zeichnungen äöü \"quoted\"");
    config->setScanFolder(folder);
    config->setFileTypes(QStringLiteral(".bak,.dwl"));
    config->setOtherFileTypes(QStringLiteral(".tmp"));
    // The service keeps the time of day and gives it its next due date: the date
    // that round-trips is the one the schedule gives.
    const DueTime due = dueTimeAhead(3);
    config->setStartTime(due.oleDate);
    config->setDeleteAge(3);
    config->setLastScan(QStringLiteral("07/04/99"));
    config->setCleanedSpace(5'000'000'000ull);
    config->setContactName(QStringLiteral("Zoë"));
    config->setContactEmail(QStringLiteral("zoe@example.org"));
    config->setProxyServer(QStringLiteral("proxy.example.org"));
    config->setProxyPort(QStringLiteral("3128"));
    config->setProxyUsage(1);
    config->setProxySysUsage(1);
    config->setProxySysServer(QStringLiteral("http://sys:8080"));
    config->setProxySysBypass(QStringLiteral("localhost"));
    config->setProxySysAccessType(3);

    // A fresh Config object (as every transfer gets) sees what the first wrote.
    auto again = link.Config();
    EXPECT_EQ(again->ScanFolder(), folder);
    EXPECT_EQ(again->FileTypes(), QStringLiteral(".bak,.dwl"));
    EXPECT_EQ(again->OtherFileTypes(), QStringLiteral(".tmp"));
    EXPECT_DOUBLE_EQ(again->StartTime(), due.oleDate);
    EXPECT_EQ(again->DeleteAge(), 3);
    EXPECT_EQ(again->LastScan(), QStringLiteral("07/04/99"));
    EXPECT_EQ(again->CleanedSpace(), 5'000'000'000ull);
    EXPECT_EQ(again->ContactName(), QStringLiteral("Zoë"));
    EXPECT_EQ(again->ContactEmail(), QStringLiteral("zoe@example.org"));
    EXPECT_EQ(again->ProxyServer(), QStringLiteral("proxy.example.org"));
    EXPECT_EQ(again->ProxyPort(), QStringLiteral("3128"));
    EXPECT_EQ(again->ProxyUsage(), 1);
    EXPECT_EQ(again->ProxySysUsage(), 1);
    EXPECT_EQ(again->ProxySysServer(), QStringLiteral("http://sys:8080"));
    EXPECT_EQ(again->ProxySysBypass(), QStringLiteral("localhost"));
    EXPECT_EQ(again->ProxySysAccessType(), 3u);
    // What other clients see is the same: the values went through the bus.
    EXPECT_EQ(service.getConfig("CleanedSpace"), "t 5000000000");
    const std::string day = "v d " + std::to_string(static_cast<long>(due.oleDate));
    EXPECT_EQ(service.getConfig("StartTime").rfind(day, 0), 0u) << service.getConfig("StartTime");
}

TEST_F(LinkTest, WithoutAnEngineEveryCallFailsWithTheFixedText) {
    CServiceLink link;
    EXPECT_FALSE(link.hasEngine());
    try {
        link.scanNow();
        FAIL() << "scanNow without an engine";
    } catch (const CCallError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Invalid pointer"));
        EXPECT_STREQ(e.what(), "Invalid pointer");
    }
    EXPECT_THROW(link.Config(), CCallError);
    EXPECT_THROW(link.UndeletedCount(), CCallError);
    EXPECT_FALSE(link.adviseEngine());
    EXPECT_EQ(service.servicePid(), -1) << "no call may start the service by itself";
}

TEST(LinkWithoutService, AServiceThatCannotBeActivatedIsNotFound) {
    ServiceEnvironment service(ServiceEnvironment::Options{false});
    service.applyToProcess();
    CServiceLink link;
    EXPECT_FALSE(link.createEngine());
    EXPECT_FALSE(link.hasEngine());
}

TEST_F(LinkTest, AServiceStartedByHandWithoutActivationIsFoundByItsName) {
    ASSERT_TRUE(service.activate());
    const int pid = service.servicePid();
    CServiceLink link;
    ASSERT_TRUE(link.createEngine());
    EXPECT_EQ(link.ActivityState(), 0);
    EXPECT_EQ(service.servicePid(), pid) << "the running service was used";
}

TEST_F(LinkTest, AReferenceToAServiceThatEndedFailsUntilTheEngineIsCreatedAgain) {
    CServiceLink link;
    ASSERT_TRUE(link.createEngine());
    auto config = link.Config();
    config->setContactName(QStringLiteral("before"));
    ASSERT_TRUE(service.stopService());
    ASSERT_TRUE(service.activate()) << "a new service process";

    // Like a stale object reference: the old process is gone, its objects too.
    try {
        link.ActivityState();
        FAIL() << "a call on the old process succeeded";
    } catch (const CCallError& e) {
        EXPECT_FALSE(e.text().isEmpty());
    }
    EXPECT_THROW(config->ContactName(), CCallError);

    ASSERT_TRUE(link.createEngine());
    EXPECT_EQ(link.Config()->ContactName(), QStringLiteral("before")) << "saved at stop";
}

TEST_F(LinkTest, AHungServiceFailsTheCallAfterTheTimeOutNotTheBusDefault) {
    CServiceLink link;
    ASSERT_TRUE(link.createEngine());
    const int pid = service.servicePid();
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    QElapsedTimer clock;
    clock.start();
    QString text;
    try {
        link.UndeletedCount();
    } catch (const CCallError& e) {
        text = e.text();
    }
    const auto elapsed = clock.elapsed();
    ::kill(pid, SIGCONT);
    EXPECT_FALSE(text.isEmpty()) << "the call did not fail";
    EXPECT_GE(elapsed, 9000);
    EXPECT_LT(elapsed, 20000);
}

// A deadline bounds a whole sequence of calls: the first one waits only for what
// is left of it, and once it has passed every call fails at once.
TEST_F(LinkTest, ADeadlineBoundsTheCallsThatFollowIt) {
    CServiceLink link;
    ASSERT_TRUE(link.createEngine());
    const int pid = service.servicePid();
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    link.setDeadline(QDeadlineTimer(3000));
    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(link.UndeletedCount(), CCallError);
    const auto first = clock.elapsed();
    // The call may give up a moment before the deadline itself has passed.
    while (!link.deadline().hasExpired())
        QThread::msleep(10);
    const auto expired = clock.elapsed();
    QString text;
    try {
        link.Config();
    } catch (const CCallError& e) {
        text = e.text();
    }
    const auto after = clock.elapsed();
    const bool found = link.createEngine();
    ::kill(pid, SIGCONT);
    EXPECT_GE(first, 2500);
    EXPECT_LT(first, 6000);
    EXPECT_LT(after - expired, 500) << "a call after the deadline waits for nothing";
    EXPECT_EQ(text, QStringLiteral("No time was left for the call."));
    EXPECT_FALSE(found) << "nor does finding the service";

    link.setDeadline(QDeadlineTimer(QDeadlineTimer::Forever));
    ASSERT_TRUE(link.createEngine());
    EXPECT_EQ(link.UndeletedCount(), 0);
}

// A cold start at log-in can take longer than a call may: activation has a
// bound of its own.
TEST(LinkSlowStart, AServiceSlowerToStartThanACallMayTakeIsStillFound) {
    ServiceEnvironment::Options options;
    options.startDelaySeconds = 13;
    ServiceEnvironment service(options);
    service.applyToProcess();
    CServiceLink link;
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(link.createEngine()) << "gave up after " << clock.elapsed() << " ms";
    EXPECT_GE(clock.elapsed(), 12000);
    EXPECT_EQ(link.ActivityState(), 0);
}

TEST_F(LinkTest, ChangesOfTheConfigObjectArriveAsTheyAreMade) {
    if (const std::string why = configChangesNotAnnounced(MW_CONTRACT_XML_FILE); !why.empty())
        GTEST_SKIP() << why;
    CServiceLink link;
    ASSERT_TRUE(link.createEngine());
    QVariantMap seen;
    QObject::connect(&link, &CServiceLink::configChanged,
                     [&](const QString& name, const QVariant& value) { seen[name] = value; });
    QStringList invalidated;
    QObject::connect(&link, &CServiceLink::configInvalidated,
                     [&](const QString& name) { invalidated << name; });
    ASSERT_TRUE(link.adviseEngine());
    ASSERT_TRUE(service.setConfig("ScanFolder", "s", "/elsewhere"));
    ASSERT_TRUE(service.setConfig("DeleteAge", "i", "4"));
    ASSERT_TRUE(spinUntil([&] {
        return seen.contains("DeleteAge") || invalidated.contains("DeleteAge");
    })) << "no PropertiesChanged for DeleteAge";
    if (seen.contains("ScanFolder"))
        EXPECT_EQ(seen["ScanFolder"].toString(), QStringLiteral("/elsewhere"));
    else
        EXPECT_TRUE(invalidated.contains("ScanFolder"));

    // Unadvised, nothing more arrives.
    link.unadviseEngine();
    seen.clear();
    invalidated.clear();
    ASSERT_TRUE(service.setConfig("DeleteAge", "i", "2"));
    spinFor(500);
    EXPECT_TRUE(seen.isEmpty() && invalidated.isEmpty());
}

TEST_F(LinkTest, ThePerUserServiceTakesEveryChangeOfItsUser) {
    CServiceLink link;
    ASSERT_TRUE(link.createEngine());
    const SServiceAccess access = link.Access();
    EXPECT_TRUE(access.known);
    EXPECT_TRUE(access.mayChange);
    EXPECT_EQ(access.group, QString()) << "a session service does not check";
}

// Serves an object at the engine's path under the service's name, as a service
// from before the access question would: it knows nothing of org.morrowick.Access.
class COlderService : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
public slots:
    int UndeletedCount() { return 0; }
};

TEST(LinkToAnOlderService, AServiceWithoutTheQuestionTakesChangesAsBefore) {
    ServiceEnvironment service(ServiceEnvironment::Options{false});
    service.applyToProcess();
    // Its own thread, so that its answers come while the link waits for them.
    QThread thread;
    thread.start();
    bool registered = false;
    auto* older = new COlderService;
    older->moveToThread(&thread);
    QDBusConnection bus = QDBusConnection::connectToBus(
        QString::fromStdString(service.address()), QStringLiteral("older-service"));
    QMetaObject::invokeMethod(
        older,
        [&] {
            registered = bus.registerObject(QStringLiteral("/org/morrowick/Morrowick"), older,
                                            QDBusConnection::ExportAllSlots) &&
                         bus.registerService(QStringLiteral("org.morrowick.Service"));
        },
        Qt::BlockingQueuedConnection);
    ASSERT_TRUE(registered) << bus.lastError().message().toStdString();
    {
        CServiceLink link;
        ASSERT_TRUE(link.createEngine());
        const SServiceAccess access = link.Access();
        EXPECT_FALSE(access.known);
        EXPECT_TRUE(access.mayChange);
    }
    QMetaObject::invokeMethod(
        older,
        [&] {
            bus.unregisterObject(QStringLiteral("/org/morrowick/Morrowick"));
            delete older;
        },
        Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
    QDBusConnection::disconnectFromBus(QStringLiteral("older-service"));
}

} // namespace
} // namespace MW::Test

#include "ServiceLinkTest.moc"
