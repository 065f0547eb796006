#include "CMorrowick.h"
#include "CSettings.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using MW::CContractError;
using MW::CSettings;
using MW::Objects::OtherValue;

namespace {

struct StartTimeWatcher : MW::Common::IObserver {
    int changes = 0;
    void update(std::int32_t code) override { changes += code == MW::eSE_StartTimeChanged; }
};

class Config : public ::testing::Test {
protected:
    void SetUp() override {
        CSettings::getInstance()->subscribe(MW::eSE_StartTimeChanged, &m_watcher);
    }
    void TearDown() override { CSettings::destroyInstance(); }

    MW::Objects::CMorrowick m_engine;
    StartTimeWatcher m_watcher;
};

TEST_F(Config, ObjectsAreWindowsOntoOneRecord) {
    auto writer = m_engine.getConfig();
    auto reader = m_engine.getConfig();
    EXPECT_NE(writer.get(), reader.get());
    writer->setScanFolder("/srv/drawings");
    writer->setContactName(std::string("Ana\0hidden", 10)); // kept up to the NUL
    writer->setCleanedSpace(5000000000ull);
    writer->setProxySysAccessType(0xFFFFFFFFu);
    writer->setDeleteAge(42); // no range check: the rules decide what it means
    writer->setProxyUsage(5);
    writer->setProxySysUsage(0);
    const std::string longest(MW::Objects::kMaxTextLength, 'x');
    writer->setProxySysBypass(longest);
    try {
        writer->setProxySysBypass(std::string(4 << 20, 'y'));
        ADD_FAILURE() << "a 4 MiB text was taken";
    } catch (const CContractError& e) {
        EXPECT_EQ(e.name(), "org.freedesktop.DBus.Error.InvalidArgs");
    }

    EXPECT_EQ(reader->getScanFolder(), "/srv/drawings");
    EXPECT_EQ(reader->getContactName(), "Ana");
    EXPECT_EQ(reader->getCleanedSpace(), 5000000000ull);
    EXPECT_EQ(reader->getProxySysAccessType(), 0xFFFFFFFFu);
    EXPECT_EQ(reader->getDeleteAge(), 42);
    EXPECT_EQ(reader->getProxyUsage(), 1);
    EXPECT_EQ(reader->getProxySysUsage(), 0);
    EXPECT_EQ(reader->getProxySysBypass(), longest);
    EXPECT_EQ(CSettings::getInstance()->getScanFolder(), "/srv/drawings");
    EXPECT_EQ(m_watcher.changes, 0); // only StartTime notifies
}

TEST_F(Config, StartTimeTakesDatesAndDateTextsAndRefusesTheRest) {
    auto config = m_engine.getConfig();
    config->setStartTime(44000.5);
    config->setStartTime(44000.5); // unchanged: no second notification
    EXPECT_EQ(m_watcher.changes, 1);
    // 2 January 2024 is day 45293 after 30 December 1899; 09:00 is 0.375 of a day.
    config->setStartTime(std::string("2024-01-02 09:00"));
    EXPECT_DOUBLE_EQ(config->getStartTime(), 45293.375);
    config->setStartTime(std::string("01/02/2024 09:00:30"));
    EXPECT_NEAR(config->getStartTime(), 45293.375 + 30.0 / 86400, 1e-9);
    EXPECT_EQ(m_watcher.changes, 3);

    // The whole range of dates, to the last second of the year 9999.
    config->setStartTime(std::string("9999-12-31 23:59:59"));
    config->setStartTime(std::string("0100-01-01 06:30"));
    EXPECT_LT(config->getStartTime(), -657434.0);
    EXPECT_EQ(m_watcher.changes, 5);

    const double before = config->getStartTime();
    for (const MW::Objects::StartTimeValue& bad :
         {MW::Objects::StartTimeValue{std::string("tomorrow")},
          {std::string("2024-02-30 09:00")},
          {std::string(100000, '9')},
          {OtherValue{"b"}},
          {std::nan("")},
          {std::numeric_limits<double>::infinity()},
          {1e300}}) {
        try {
            config->setStartTime(bad);
            ADD_FAILURE() << "taken: value #" << bad.index();
        } catch (const CContractError& e) {
            EXPECT_EQ(e.name(), "org.morrowick.Error.TypeMismatch");
        }
    }
    EXPECT_EQ(config->getStartTime(), before);
    EXPECT_EQ(m_watcher.changes, 5);
}

} // namespace
