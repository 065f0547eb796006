// The main window for users the system service takes no changes from: the real
// service on a private bus of the system type with its group check on, and the
// window's bus connection opened under another user's identity.

#include "CContactUsDlg.h"
#include "CMainDlg.h"
#include "COverviewDlg.h"
#include "CSettingsDlg.h"
#include "CTrayNotificationDlg.h"
#include "E2eSupport.h"
#include "MessageBoxes.h"
#include "QtPrint.h"
#include "Screenshots.h"
#include "SetCallMonitor.h"
#include "Spin.h"
#include "TestBus.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace MW::Test {
namespace {

constexpr const char* kName = "org.morrowick.Service";
constexpr const char* kEngine = "/org/morrowick/Morrowick";
constexpr const char* kEngineIface = "org.morrowick.IMorrowick";
constexpr const char* kConfig = "/org/morrowick/Config";
constexpr const char* kConfigIface = "org.morrowick.IConfig";

// Runs the process (every thread) with another effective user and groups while
// it lives. A bus connection opened meanwhile keeps that identity: the bus daemon
// takes it from the socket when it connects.
class ScopedIdentity {
public:
    ScopedIdentity(uid_t uid, gid_t gid, const std::vector<gid_t>& groups)
        : m_gid(::getegid()), m_groups(static_cast<std::size_t>(::getgroups(0, nullptr))) {
        m_groups.resize(static_cast<std::size_t>(
            ::getgroups(static_cast<int>(m_groups.size()), m_groups.data())));
        m_bOk = ::setgroups(groups.size(), groups.data()) == 0 && ::setegid(gid) == 0 &&
                ::seteuid(uid) == 0;
    }
    ~ScopedIdentity() {
        [[maybe_unused]] const int restored = ::seteuid(0) + ::setegid(m_gid) +
                                              ::setgroups(m_groups.size(), m_groups.data());
    }
    bool ok() const { return m_bOk; }

private:
    gid_t m_gid;
    std::vector<gid_t> m_groups;
    bool m_bOk = false;
};

class ReadOnlyView : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to connect as another user";
        // The service's group: that of gid 0, so a member can be made with --groups=0.
        const group* root = ::getgrgid(0);
        ASSERT_NE(root, nullptr);
        m_strGroup = root->gr_name;
        ::chmod(m_dir.path().c_str(), 0755);
        m_strFolder = m_dir / "Plans";
        for (const auto& d : {m_dir / "home", m_dir / "state", m_strFolder})
            ::mkdir(d.c_str(), 0755);
        // A file a scan must leave (no write bit), for the notification.
        const std::string kept = m_strFolder + "/kept.bak";
        writeFile(kept, "old");
        const timespec old[2] = {{::time(nullptr) - 400L * 86400, 0},
                                 {::time(nullptr) - 400L * 86400, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, kept.c_str(), old, 0), 0);
        ::chmod(kept.c_str(), 0444);
        TestBus::Options options;
        options.type = "system";
        m_pBus = std::make_unique<TestBus>(options);
        m_pService = std::make_unique<Child>(
            std::vector<std::string>{MW_SERVICE_BINARY, "--bus=system",
                                     "--state-dir=" + m_dir / "state", "--auth-group=" + m_strGroup},
            Env{{"DBUS_SYSTEM_BUS_ADDRESS", m_pBus->address()}, {"MW_SCAN_PAUSE_MS", "100"}});
        ASSERT_TRUE(waitUntil([&] { return ownerPid(m_pBus->address()) > 0; }));
        // Values unlike the defaults, for the window to show; the system proxy
        // in use, so that a writer's load would also write.
        ASSERT_TRUE(root_({"ScanFolder", "s", m_strFolder}));
        ASSERT_TRUE(root_({"DeleteAge", "i", "3"}));
        ASSERT_TRUE(root_({"FileTypes", "s", ".bak,.dwl"}));
        ASSERT_TRUE(root_({"ContactName", "s", "Kept Name"}));
        ASSERT_TRUE(root_({"LastScan", "s", "never before"}));
        ASSERT_TRUE(root_({"ProxySysUsage", "i", "1"}));

        // The window finds no session bus and reaches the system bus.
        setEnv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_dir / "no-session-bus");
        setEnv("DBUS_SYSTEM_BUS_ADDRESS", m_pBus->address());
        setEnv("HOME", m_dir / "home");
        setEnv("XDG_CONFIG_HOME", m_dir / "home/.config");
        m_pMonitor = std::make_unique<SetCallMonitor>(m_pBus->address(), m_dir / "sets.txt");
        ASSERT_TRUE(m_pMonitor->ready()) << m_pMonitor->text();
    }
    void TearDown() override {
        m_pDialog.reset();
        m_pMonitor.reset();
        m_pService.reset();
        for (const auto& [name, value] : m_savedEnv) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

    void setEnv(const std::string& name, const std::string& value) {
        if (!m_savedEnv.count(name)) {
            const char* old = std::getenv(name.c_str());
            m_savedEnv[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    // A write as root through busctl.
    bool root_(const std::vector<std::string>& property) {
        std::vector<std::string> args{"set-property", kName, kConfig, kConfigIface};
        args.insert(args.end(), property.begin(), property.end());
        return busctl(m_pBus->address(), args).status == 0;
    }
    std::string config(const std::string& name) const {
        return getProperty(m_pBus->address(), kConfig, kConfigIface, name);
    }
    // The window, connected as uid 65534 with `groups`.
    void start(const std::vector<gid_t>& groups) {
        m_pDialog = std::make_unique<CMainDlg>();
        {
            ScopedIdentity identity(65534, 65534, groups);
            ASSERT_TRUE(identity.ok());
            ASSERT_TRUE(m_pDialog->session().link().createEngine());
        }
        // The connection made above is the one the window goes on using.
        ASSERT_TRUE(m_pDialog->OnInitDialog());
    }
    // Every control of both pages that would change a setting.
    std::vector<QWidget*> changingControls() const {
        CSettingsDlg& s = m_pDialog->settings();
        std::vector<QWidget*> controls{s.otherTypesEdit(), s.folderEdit(),
                                       s.browseButton(),   s.startTimeEdit(),
                                       s.proxyButton(),    m_pDialog->overview().scanNowButton(),
                                       m_pDialog->overview().resetCountButton()};
        for (std::size_t i = 0; i < Client::kFileTypeCount; ++i)
            controls.push_back(s.fileTypeBox(i));
        for (int i = 0; i < 6; ++i)
            controls.push_back(s.ageButton(i));
        return controls;
    }
    int enabledControls() const {
        int enabled = 0;
        for (QWidget* control : changingControls())
            enabled += control->isEnabled() ? 1 : 0;
        return enabled;
    }
    // A scan started by root, followed to its end by the window.
    void scanAsRoot() {
        ASSERT_EQ(busctl(m_pBus->address(), {"call", kName, kEngine, kEngineIface, "scanNow"}).status,
                  0);
        ASSERT_TRUE(spinUntil([&] {
            return m_pDialog->overview().lastScanLabel()->text() != QStringLiteral("never before");
        })) << "the window did not see the scan end";
    }

    TempDir m_dir;
    std::string m_strGroup;
    std::string m_strFolder;
    std::unique_ptr<TestBus> m_pBus;
    std::unique_ptr<Child> m_pService;
    std::unique_ptr<SetCallMonitor> m_pMonitor;
    std::map<std::string, std::optional<std::string>> m_savedEnv;
    MessageBoxRecorder m_boxes;
    std::unique_ptr<CMainDlg> m_pDialog;
};

TEST_F(ReadOnlyView, ShowsTheValuesFollowsEventsAndWritesNothing) {
    start({});
    ASSERT_TRUE(m_pDialog->session().isReadOnly());
    CSettingsDlg& settings = m_pDialog->settings();
    // The service's values, in controls that cannot change them.
    EXPECT_EQ(settings.folderEdit()->text().toStdString(), m_strFolder);
    EXPECT_TRUE(settings.ageButton(3)->isChecked());
    EXPECT_TRUE(settings.fileTypeBox(0)->isChecked());
    EXPECT_EQ(m_pDialog->contact().GetName(), QStringLiteral("Kept Name"));
    EXPECT_EQ(m_pDialog->overview().lastScanLabel()->text(), QStringLiteral("never before"));
    for (QWidget* control : changingControls())
        EXPECT_FALSE(control->isEnabled()) << control->metaObject()->className() << " "
                                           << control->objectName().toStdString();
    // The note names the group the service reports.
    EXPECT_TRUE(settings.readOnlyNote()->isVisibleTo(&settings));
    EXPECT_EQ(settings.readOnlyNote()->text(),
              CSettingsDlg::readOnlyText(QString::fromStdString(m_strGroup)));
    EXPECT_NE(settings.readOnlyNote()->text().indexOf(QString::fromStdString(m_strGroup)), -1);
    // The Contact tab stays usable.
    EXPECT_TRUE(m_pDialog->contact().sendButton()->isEnabled());

    m_pDialog->show();
    m_pDialog->tabs()->setCurrentWidget(&settings);
    EXPECT_FALSE(saveScreenshot(m_pDialog.get(), QStringLiteral("readonly-settings")).isEmpty());

    // A scan (started by root) is followed: the window saves at its start as a
    // writer would, which here writes nothing, and the buttons stay disabled
    // after its end.
    scanAsRoot();
    EXPECT_EQ(enabledControls(), 0);
    // The scan had to leave a file: the notification appears as for a writer.
    EXPECT_TRUE(spinUntil([&] { return m_pDialog->notification().isVisible(); }));
    m_pDialog->tabs()->setCurrentWidget(&m_pDialog->overview());
    EXPECT_FALSE(saveScreenshot(m_pDialog.get(), QStringLiteral("readonly-overview")).isEmpty());
    // The test event still arrives.
    ASSERT_EQ(busctl(m_pBus->address(), {"call", kName, kEngine, kEngineIface, "fireEvent", "i", "4"})
                  .status,
              0);
    ASSERT_TRUE(spinUntil([&] { return m_boxes.count() > 0; }));
    EXPECT_EQ(m_boxes.texts(), QStringList{QStringLiteral("CMWObserver::test()")});

    // Hiding, and ending, save: nothing is written and no failure is shown.
    m_pDialog->close();
    m_pDialog->OnExit();
    spinFor(300);
    EXPECT_EQ(m_boxes.count(), 1) << m_boxes.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(m_pMonitor->sets(), 0) << m_pMonitor->text();
    EXPECT_EQ(config("ContactName"), "s \"Kept Name\"");
    EXPECT_EQ(config("DeleteAge"), "i 3");
}

TEST_F(ReadOnlyView, AMemberOfTheGroupGetsTheFullView) {
    start({0});
    ASSERT_FALSE(m_pDialog->session().isReadOnly());
    EXPECT_EQ(enabledControls(), static_cast<int>(changingControls().size()));
    EXPECT_FALSE(m_pDialog->settings().readOnlyNote()->isVisibleTo(&m_pDialog->settings()));
    // The member's changes reach the service (the monitor sees the writes).
    m_pDialog->settings().ageButton(5)->setChecked(true);
    m_pDialog->OnExit();
    EXPECT_EQ(config("DeleteAge"), "i 5");
    EXPECT_GT(m_pMonitor->sets(), 0);
    EXPECT_EQ(m_boxes.count(), 0) << m_boxes.texts().join(QLatin1Char('|')).toStdString();
}

// After a scan the buttons follow the scan state for a writer, but never come
// back for a reader; a reconnection asks again.
TEST_F(ReadOnlyView, TheScanStateDoesNotEnableTheButtonsOfAReader) {
    start({});
    ASSERT_TRUE(m_pDialog->session().isReadOnly());
    scanAsRoot();
    EXPECT_FALSE(m_pDialog->overview().scanNowButton()->isEnabled());
    EXPECT_FALSE(m_pDialog->settings().startTimeEdit()->isEnabled());
    // The buttons' commands themselves refuse too (no message, no call).
    m_pDialog->overview().OnScanNow();
    m_pDialog->overview().OnResetCount();
    ASSERT_TRUE(m_pDialog->session().ConnectService(true));
    EXPECT_TRUE(m_pDialog->session().isReadOnly());
    EXPECT_EQ(enabledControls(), 0);
    spinFor(200);
    EXPECT_EQ(m_pMonitor->sets(), 0) << m_pMonitor->text();
    EXPECT_EQ(m_boxes.count(), 0) << m_boxes.texts().join(QLatin1Char('|')).toStdString();
}

} // namespace
} // namespace MW::Test
