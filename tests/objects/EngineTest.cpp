#include "CMorrowick.h"
#include "CSettings.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>

using MW::CContractError;
using MW::CSettings;
using MW::Objects::CMorrowick;
using MW::Objects::CMorrowickFactory;

namespace {

// Records every event as text, e.g. "update:42".
struct Recorder : MW::Objects::IMorrowickEvents {
    void scanStarted() override { add("started"); }
    void scanFinished() override { add("finished"); }
    void updateCleanedSpace(std::uint64_t total) override {
        add("update:" + std::to_string(total));
    }
    void test() override { add("test"); }
    void add(const std::string& e) {
        std::lock_guard lock(m_mutex);
        m_events.push_back(e);
    }
    std::vector<std::string> events() {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::mutex m_mutex;
    std::vector<std::string> m_events;
};

struct Throwing : Recorder {
    void scanStarted() override { throw std::runtime_error("client gone"); }
    void test() override { throw CContractError("org.example.Gone", "gone"); }
};

std::string errorName(const std::function<void()>& call) {
    try {
        call();
    } catch (const CContractError& e) {
        return e.name();
    }
    return "(no error)";
}

class Engine : public ::testing::Test {
protected:
    void TearDown() override { CSettings::destroyInstance(); }
};

TEST_F(Engine, CookiesFollowTheSlotsWhichGrowAndAreReused) {
    CMorrowick engine;
    EXPECT_EQ(engine.connectionPoint().slotCount(), 0);
    for (std::uint32_t expected = 1; expected <= 5; ++expected) {
        EXPECT_EQ(engine.advise(std::make_shared<Recorder>()), expected);
        EXPECT_EQ(engine.connectionPoint().slotCount(), expected <= 4 ? 4 : 8);
    }
    engine.unadvise(2);
    EXPECT_EQ(engine.advise(std::make_shared<Recorder>()), 2u);
    EXPECT_EQ(engine.advise(std::make_shared<Recorder>()), 6u);

    const std::string none = "org.morrowick.Error.NoConnection";
    engine.unadvise(3);
    EXPECT_EQ(errorName([&] { engine.unadvise(3); }), none);
    EXPECT_EQ(errorName([&] { engine.unadvise(0); }), none);
    EXPECT_EQ(errorName([&] { engine.unadvise(9); }), none);
    EXPECT_EQ(errorName([&] { engine.advise(nullptr); }), "org.morrowick.Error.CannotConnect");
    std::vector<std::uint32_t> live;
    for (const auto& connection : engine.connectionPoint().connections())
        live.push_back(connection.second);
    EXPECT_EQ(live, (std::vector<std::uint32_t>{1, 2, 4, 5, 6}));

    // A list that cannot grow refuses and keeps nothing.
    CMorrowick small(4);
    for (int i = 0; i < 4; ++i)
        small.advise(std::make_shared<Recorder>());
    auto extra = std::make_shared<Recorder>();
    EXPECT_EQ(errorName([&] { small.advise(extra); }), "org.morrowick.Error.AdviseLimit");
    EXPECT_EQ(extra.use_count(), 1);
}

TEST_F(Engine, FireEventFollowsTheTableAndSkipsFailingSinks) {
    CMorrowick engine;
    engine.fireEvent(MW::eFE_ScanStarted); // nobody connected: nothing happens
    auto failing = std::make_shared<Throwing>();
    auto first = std::make_shared<Recorder>();
    auto second = std::make_shared<Recorder>();
    engine.advise(failing);
    engine.advise(first);
    engine.advise(second);

    CSettings::getInstance()->setCleanedSpace(5000000000ull);
    for (int value : {1, 3, 0, 5, -1, 4, 2})
        EXPECT_NO_THROW(engine.fireEvent(static_cast<MW::EFireEvent>(value)));
    CSettings::getInstance()->setCleanedSpace(7); // the total at that moment
    engine.fireEvent(MW::eFE_UpdateCleanedSpace);

    const std::vector<std::string> all{"started", "update:5000000000", "test", "finished",
                                       "update:7"};
    EXPECT_EQ(first->events(), all);
    EXPECT_EQ(second->events(), all);
    EXPECT_EQ(failing->events(), (std::vector<std::string>{all[1], all[3], all[4]}));
}

TEST_F(Engine, FactoryMakesOneInstanceAndRemembersFailure) {
    EXPECT_EQ(MW::Objects::getMorrowick(), MW::Objects::getMorrowick());
    int attempts = 0;
    CMorrowickFactory failing([&]() -> std::shared_ptr<CMorrowick> {
        ++attempts;
        throw std::runtime_error("no memory");
    });
    for (int i = 0; i < 3; ++i)
        EXPECT_THROW(failing.getInstance(), std::runtime_error);
    EXPECT_EQ(attempts, 1);
    CMorrowickFactory empty([] { return std::shared_ptr<CMorrowick>(); });
    EXPECT_EQ(errorName([&] { empty.getInstance(); }), "org.morrowick.Error.Failed");
}

// Sinks connect and disconnect from other threads, and one from inside an event,
// while events fire: nothing breaks, and a sink connected all along misses nothing.
TEST_F(Engine, FiringIsSafeAgainstConcurrentConnections) {
    CMorrowick engine;
    auto steady = std::make_shared<Recorder>();
    engine.advise(steady);
    struct SelfRemoving : Recorder {
        CMorrowick* engine = nullptr;
        std::uint32_t cookie = 0;
        void test() override {
            if (cookie)
                engine->unadvise(std::exchange(cookie, 0));
        }
    };
    auto self = std::make_shared<SelfRemoving>();
    self->engine = &engine;
    self->cookie = engine.advise(self);

    std::atomic<bool> done{false};
    std::atomic<int> rounds{0};
    std::vector<std::thread> churn;
    for (int t = 0; t < 2; ++t)
        churn.emplace_back([&] {
            while (!done) {
                std::vector<std::uint32_t> mine;
                for (int i = 0; i < 6; ++i)
                    mine.push_back(engine.advise(std::make_shared<Throwing>()));
                for (auto cookie : mine)
                    engine.unadvise(cookie);
                ++rounds;
            }
        });
    std::size_t fired = 0;
    for (; fired < 2000 || rounds < 2000; ++fired)
        engine.fireEvent(MW::eFE_Test);
    done = true;
    for (auto& t : churn)
        t.join();
    EXPECT_EQ(steady->events().size(), fired);
    EXPECT_EQ(self->cookie, 0u);
    EXPECT_EQ(engine.connectionPoint().connections().size(), 1u);
}

} // namespace
