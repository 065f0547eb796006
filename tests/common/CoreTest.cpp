#include "CNotifier.h"
#include "CSingleton.h"
#include "CThread.h"

#include <atomic>
#include <barrier>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using MW::Common::CNotifier;
using MW::Common::CSingleton;
using MW::Common::CThread;
using MW::Common::IObserver;

namespace {

struct Recorder : IObserver {
    explicit Recorder(std::vector<std::pair<int, int>>* log, int id) : m_log(log), m_id(id) {}
    void update(std::int32_t code) override { m_log->emplace_back(m_id, code); }
    std::vector<std::pair<int, int>>* m_log;
    int m_id;
};

TEST(Notifier, SubscriptionsAreUniquePerCodeAndCalledInOrder) {
    std::vector<std::pair<int, int>> calls;
    Recorder a(&calls, 1), b(&calls, 2);
    CNotifier notifier;
    notifier.subscribe(2, &a);
    notifier.subscribe(2, &a); // no duplicate
    notifier.subscribe(2, &b);
    notifier.subscribe(1, &b);
    notifier.subscribe(1, &a);

    notifier.notify(2);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));

    calls.clear();
    notifier.notify(7); // nobody listens
    EXPECT_TRUE(calls.empty());

    // notifyAll goes by ascending code, each list in subscription order.
    notifier.notifyAll();
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{2, 1}, {1, 1}, {1, 2}, {2, 2}}));

    calls.clear();
    notifier.unsubscribe(2, &a);
    notifier.unsubscribe(9, &a); // unknown code: nothing
    notifier.notify(2);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{2, 2}}));
}

TEST(Notifier, ObserverMayNotifyFromUpdate) {
    CNotifier notifier;
    struct Chain : IObserver {
        CNotifier* n;
        int seen = 0;
        void update(std::int32_t code) override {
            ++seen;
            if (code == 1)
                n->notify(2);
        }
    } chain;
    chain.n = &notifier;
    notifier.subscribe(1, &chain);
    notifier.subscribe(2, &chain);
    notifier.notify(1);
    EXPECT_EQ(chain.seen, 2);
}

struct Counted : CSingleton<Counted> {
    Counted() { ++constructed; }
    static inline std::atomic<int> constructed{0};
    int value = 7;
};

TEST(Singleton, ConcurrentFirstUseCreatesOneInstanceAndDestroyResets) {
    constexpr int kThreads = 8;
    std::barrier sync(kThreads);
    std::vector<Counted*> seen(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            sync.arrive_and_wait();
            seen[static_cast<std::size_t>(i)] = Counted::getInstance();
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(Counted::constructed, 1);
    for (Counted* p : seen)
        EXPECT_EQ(p, seen[0]);

    seen[0]->value = 42;
    Counted::destroyInstance();
    Counted::destroyInstance(); // a second destroy is harmless
    EXPECT_EQ(Counted::getInstance()->value, 7);
    EXPECT_EQ(Counted::constructed, 2);
    Counted::destroyInstance();
}

TEST(Thread, RunsBodyOnceOnItsOwnThread) {
    struct Worker : CThread {
        std::atomic<int> runs{0};
        std::thread::id id;
        void run() override {
            id = std::this_thread::get_id();
            ++runs;
        }
    } worker;
    EXPECT_FALSE(worker.started());
    worker.start();
    worker.start(); // once per object
    worker.join();
    EXPECT_EQ(worker.runs, 1);
    EXPECT_NE(worker.id, std::this_thread::get_id());
}

} // namespace
