// org.morrowick.Preview on the bus: the reply comes from the worker through the
// loop, the loop keeps serving meanwhile, and the refusals keep their names.

#include "BusHarness.h"
#include "CSettings.h"
#include "Preview.h"

#include <condition_variable>
#include <gtest/gtest.h>

using namespace MW::Test;

namespace {

// The engine side, held at the gate until the test opens it.
class CGatedPreviewer : public MW::IPreviewer {
public:
    bool isBusy() const override { return busy.load(); }
    MW::SPreviewTotals preview() override {
        ++calls;
        std::unique_lock lock(m_mutex);
        m_gate.wait(lock, [this] { return m_bOpen; });
        if (!failure.empty())
            throw MW::CContractError(MW::Bus::kErrorFailed, failure);
        return {3, 5000000000ULL, 1, 10, "/state/preview.tmp"};
    }
    void open() {
        std::lock_guard lock(m_mutex);
        m_bOpen = true;
        m_gate.notify_all();
    }
    std::atomic<bool> busy{false};
    std::atomic<int> calls{0};
    std::string failure;

private:
    std::mutex m_mutex;
    std::condition_variable m_gate;
    bool m_bOpen = false;
};

class PreviewBus : public ::testing::Test {
protected:
    void SetUp() override {
        m_pLoop = std::make_unique<CServerLoop>(m_bus.address(), m_engine, MW::DBus::AuthOptions{},
                                                &m_previewer);
    }
    void TearDown() override {
        m_previewer.open();
        m_pLoop.reset();
        MW::CSettings::destroyInstance();
    }
    std::vector<std::string> previewCall() const {
        return {"busctl", "--address=" + m_bus.address(), "call",       kService,
                kEngine,  "org.morrowick.Preview",        "previewScan"};
    }

    TestBus m_bus;
    MW::Objects::CMorrowick m_engine;
    CGatedPreviewer m_previewer;
    std::unique_ptr<CServerLoop> m_pLoop;
};

TEST_F(PreviewBus, AnswersFromTheWorkerWhileTheLoopGoesOnServing) {
    TempDir dir;
    auto argv = previewCall();
    std::string line;
    for (const auto& a : argv)
        line += "'" + a + "' ";
    Child first({"sh", "-c", "exec " + line + "> '" + dir / "out" + "' 2>&1"});
    ASSERT_TRUE(waitUntil([&] { return m_previewer.calls.load() == 1; }));

    // The loop is free: other calls are answered, a second preview is refused.
    EXPECT_EQ(busctl(m_bus, {"get-property", kService, kConfig, kIConfig, "DeleteAge"}).out,
              "i 1\n");
    const auto second =
        busctl(m_bus, {"call", kService, kEngine, "org.morrowick.Preview", "previewScan"});
    EXPECT_NE(second.status, 0);
    EXPECT_NE(second.err.find("A preview is running already."), std::string::npos) << second.err;
    EXPECT_EQ(m_previewer.calls.load(), 1);

    m_previewer.open();
    EXPECT_EQ(first.wait(60), 0);
    EXPECT_EQ(readFile(dir / "out"), "ututs 3 5000000000 1 10 \"/state/preview.tmp\"\n");

    // Done: the next one may run.
    const auto third = runCommand(previewCall());
    EXPECT_EQ(third.status, 0) << third.err;
    EXPECT_EQ(m_previewer.calls.load(), 2);
}

TEST_F(PreviewBus, RefusalsAndFailuresArriveAsNamedErrors) {
    m_previewer.busy = true;
    auto r =
        runCommand({"gdbus", "call", "--address", m_bus.address(), "--dest", kService,
                    "--object-path", kEngine, "--method", "org.morrowick.Preview.previewScan"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("org.morrowick.Error.ScanRunning"), std::string::npos) << r.err;
    EXPECT_EQ(m_previewer.calls.load(), 0);

    m_previewer.busy = false;
    m_previewer.failure = "The service stopped during the preview.";
    m_previewer.open();
    r = runCommand({"gdbus", "call", "--address", m_bus.address(), "--dest", kService,
                    "--object-path", kEngine, "--method", "org.morrowick.Preview.previewScan"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("org.morrowick.Error.Failed"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("The service stopped during the preview."), std::string::npos);
}

} // namespace
