// mwconfig on a real X server (Xvfb) with a tray host: the "/hide" rule, the
// second start, and the tray item driven over the bus as a panel drives it.
// The offscreen platform has no tray at all, so these runs use xcb.

#include "ConfigProcess.h"
#include "FakeTrayWatcher.h"
#include "QtPrint.h"
#include "Spin.h"
#include "XDisplay.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>
#include <gtest/gtest.h>

namespace MW::Test {
namespace {

const std::string kTitle = "Morrowick";

class Desktop : public ::testing::Test {
protected:
    void SetUp() override {
        if (!display.ok())
            GTEST_SKIP() << "Xvfb is not available";
    }
    Env env(const std::string& log) const {
        return configEnv(service, log, {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", display.name()}});
    }
    std::string newLog() {
        return service.sandbox().dir / ("messages" + std::to_string(++m_logs) + ".txt");
    }
    // Starts mwconfig and waits until it is connected to the service.
    std::unique_ptr<Child> startConfig(const std::vector<std::string>& arguments) {
        const std::string log = newLog();
        std::vector<std::string> argv{kMwConfig};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        auto child = std::make_unique<Child>(argv, env(log));
        EXPECT_TRUE(waitUntilConnected(service, log));
        return child;
    }
    // Waits for the end of a child while serving the bus; its status, -1 if it runs on.
    static int exitStatus(Child& child) {
        spinUntil([&] { return child.wait(0) != -1; }, 30000);
        return child.wait(0);
    }
    static int stop(Child& child) {
        ::kill(child.pid(), SIGTERM);
        return exitStatus(child);
    }
    bool viewableSoon() const {
        return spinUntil([&] { return display.isViewable(kTitle); }, 20000);
    }
    // busctl with JSON output, parsed; the "data" member of the answer.
    QJsonArray callJson(const std::vector<std::string>& args) const {
        std::vector<std::string> argv{"--json=short"};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto result = busctl(service.address(), argv);
        const auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(result.out));
        return doc.object().value(QStringLiteral("data")).toArray();
    }

    XDisplay display;
    ServiceEnvironment service;
    int m_logs = 0;
};

// The tray item as the panel sees it: its bus name and its menu's entries.
struct TrayItem {
    std::string service;
    std::string menuPath;
    // id and label of each entry; separators have the label "-".
    std::vector<std::pair<int, QString>> entries;
};

class WithTrayHost : public Desktop {
protected:
    void SetUp() override {
        Desktop::SetUp();
        if (IsSkipped())
            return;
        watcher = std::make_unique<FakeTrayWatcher>(service.address());
        ASSERT_TRUE(watcher->ok());
    }
    bool itemRegistered() {
        return spinUntil([&] { return watcher->items().size() == 1; }, 30000);
    }
    TrayItem item() {
        TrayItem item;
        item.service = watcher->items().value(0).section(QLatin1Char('/'), 0, 0).toStdString();
        const auto answer = busctl(service.address(),
                                   {"--json=short", "get-property", item.service,
                                    "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Menu"});
        item.menuPath = QJsonDocument::fromJson(QByteArray::fromStdString(answer.out))
                            .object()
                            .value(QStringLiteral("data"))
                            .toString()
                            .toStdString();
        // "--": the argument -1 is no option.
        const auto layout =
            callJson({"call", "--", item.service, item.menuPath, "com.canonical.dbusmenu",
                      "GetLayout", "iias", "0", "-1", "0"});
        // (u revision, (i id, a{sv} properties, av children))
        const QJsonArray children = layout.at(1).toArray().at(2).toArray();
        for (const auto& child : children) {
            const QJsonArray entry = child.toObject().value(QStringLiteral("data")).toArray();
            const QJsonObject properties = entry.at(1).toObject();
            const bool separator = properties.value(QStringLiteral("type"))
                                       .toObject()
                                       .value(QStringLiteral("data"))
                                       .toString() == QStringLiteral("separator");
            const QString label = properties.value(QStringLiteral("label"))
                                      .toObject()
                                      .value(QStringLiteral("data"))
                                      .toString();
            item.entries.emplace_back(entry.at(0).toInt(), separator ? QStringLiteral("-") : label);
        }
        return item;
    }
    bool click(const TrayItem& item, int id) {
        return busctl(service.address(),
                      {"call", item.service, item.menuPath, "com.canonical.dbusmenu", "Event",
                       "isvu", std::to_string(id), "clicked", "i", "0", "0"})
                   .status == 0;
    }
    bool activate(const TrayItem& item) {
        return busctl(service.address(),
                      {"call", item.service, "/StatusNotifierItem", "org.kde.StatusNotifierItem",
                       "Activate", "ii", "10", "10"})
                   .status == 0;
    }

    std::unique_ptr<FakeTrayWatcher> watcher;
};

TEST_F(WithTrayHost, TheTrayItemShowsTheWindowAndItsExitSavesAndEndsWith255) {
    auto config = startConfig({"/hide"});
    ASSERT_TRUE(itemRegistered());
    EXPECT_FALSE(display.isViewable(kTitle)) << "/hide with a tray: only the icon";

    const TrayItem tray = item();
    const auto tip = callJson({"get-property", tray.service, "/StatusNotifierItem",
                               "org.kde.StatusNotifierItem", "ToolTip"});
    EXPECT_EQ(tip.at(2).toString(), QStringLiteral("Morrowik Configurator"));
    ASSERT_EQ(tray.entries.size(), 3u);
    EXPECT_EQ(tray.entries[0].second, QStringLiteral("Show Morrowick Configurator"));
    EXPECT_EQ(tray.entries[1].second, QStringLiteral("-"));
    EXPECT_EQ(tray.entries[2].second, QStringLiteral("Exit"));

    // The menu's first entry shows the window.
    ASSERT_TRUE(click(tray, tray.entries[0].first));
    EXPECT_TRUE(viewableSoon());
    EXPECT_EQ(config->wait(0), -1);

    // "Exit" saves, removes the icon and ends with 255. The save writes only
    // what was changed in the window (nothing here): another client's change
    // made meanwhile stays.
    ASSERT_TRUE(service.setConfig("ContactEmail", "s", "changed@behind"));
    ASSERT_TRUE(click(tray, tray.entries[2].first));
    EXPECT_EQ(exitStatus(*config), 255);
    EXPECT_EQ(service.getConfig("ContactEmail"), "s \"changed@behind\"");
    EXPECT_TRUE(spinUntil([&] { return watcher->items().isEmpty(); }, 10000)) << watcher->items();

    // The panel's activation (a click on the icon) shows the window too.
    auto again = startConfig({"/hide"});
    ASSERT_TRUE(itemRegistered());
    spinFor(300);
    EXPECT_FALSE(display.isViewable(kTitle));
    ASSERT_TRUE(activate(item()));
    EXPECT_TRUE(viewableSoon());
    EXPECT_EQ(stop(*again), 253);
}

TEST_F(WithTrayHost, HideIsACaseSensitiveSubstringOfTheCommandLine) {
    for (const auto& [argument, hidden] : {std::pair<std::string, bool>{"/hide", true},
                                           {"/hidefoo", true},
                                           {"--hide", true},
                                           {"/HIDE", false},
                                           {"", false}}) {
        auto config = startConfig(argument.empty() ? std::vector<std::string>{}
                                                   : std::vector<std::string>{argument});
        ASSERT_TRUE(itemRegistered()) << argument;
        if (hidden) {
            spinFor(300); // a window being shown would be mapped by now
            EXPECT_FALSE(display.isViewable(kTitle)) << argument;
        } else
            EXPECT_TRUE(viewableSoon()) << argument;
        EXPECT_EQ(stop(*config), 253) << argument;
        ASSERT_TRUE(spinUntil([&] { return watcher->items().isEmpty(); }, 10000));
    }
}

TEST_F(WithTrayHost, ASecondStartShowsTheHiddenFirstWindowAndEndsWithZero) {
    auto first = startConfig({"/hide"});
    ASSERT_TRUE(itemRegistered());
    EXPECT_FALSE(display.isViewable(kTitle));

    const auto second = runCommand({kMwConfig, "/hide"}, env(newLog()), 60);
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_TRUE(viewableSoon()) << "the first window shows, even when the second said /hide";
    EXPECT_EQ(first->wait(0), -1);
    EXPECT_EQ(watcher->items().size(), 1) << "no second icon";
    EXPECT_EQ(stop(*first), 253);
}

TEST_F(Desktop, WithoutATrayHostTheWindowShowsEvenWithHide) {
    auto config = startConfig({"/hide"});
    EXPECT_TRUE(viewableSoon());
    EXPECT_EQ(stop(*config), 253);
}

} // namespace
} // namespace MW::Test
