// A real scan that leaves files behind, announced by the main window's notification.

#include "CMainDlg.h"
#include "CTrayNotificationDlg.h"
#include "CUndeletedFilesDlg.h"
#include "MessageBoxes.h"
#include "ModalDialogs.h"
#include "QtPrint.h"
#include "Screenshots.h"
#include "ServiceEnvironment.h"
#include "Spin.h"

#include <QLabel>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace MW::Test {
namespace {

using ScanNotificationTest = ServiceTest;

// Holds a file open with a write lock, as a drawing program does.
class OpenFile {
public:
    explicit OpenFile(const std::string& path) : m_fd(::open(path.c_str(), O_RDWR | O_CLOEXEC)) {
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        m_locked = m_fd >= 0 && ::fcntl(m_fd, F_OFD_SETLK, &lock) == 0;
    }
    ~OpenFile() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    bool locked() const { return m_locked; }

private:
    int m_fd;
    bool m_locked = false;
};

TEST_F(ScanNotificationTest, ReadOnlyAndInUseFilesAreAnnouncedAndListed) {
    TempDir tree;
    const std::string folder = tree / "drawings";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const long month = 30 * 86400;
    for (const char* name : {"readonly.bak", "inuse.bak", "old.bak"}) {
        writeFile(folder + "/" + name, "x");
        setAge(folder + "/" + name, month);
    }
    ASSERT_EQ(::chmod((folder + "/readonly.bak").c_str(), 0444), 0);
    OpenFile inUse(folder + "/inuse.bak");
    ASSERT_TRUE(inUse.locked());

    ASSERT_TRUE(service.setConfig("ScanFolder", "s", folder));
    ASSERT_TRUE(service.setConfig("FileTypes", "s", ".bak"));
    ASSERT_TRUE(service.setConfig("DeleteAge", "i", "1"));
    // Loading then leaves the system's proxy alone: this test is about the scan.
    ASSERT_TRUE(service.setConfig("ProxySysUsage", "i", "0"));

    MessageBoxRecorder boxes;
    CMainDlg window;
    ASSERT_TRUE(window.OnInitDialog());
    window.tabs()->setCurrentIndex(2);
    saveScreenshot(&window, QStringLiteral("main_contact_tab"));
    CTrayNotificationDlg& notification = window.notification();
    EXPECT_FALSE(notification.isVisible());

    window.session().link().scanNow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return notification.isVisible(); }, 60000));
    EXPECT_EQ(boxes.count(), 0) << boxes.texts().join(" | ").toStdString();
    EXPECT_EQ(notification.m_strText,
              "There are 2 undeleted files. Left click to show the full list.");
    EXPECT_EQ(notification.textLabel()->text(), notification.m_strText);
    EXPECT_EQ(notification.m_strListPath,
              QString::fromStdString(service.stateFile("undeleted.tmp")));
    EXPECT_FALSE(exists(folder + "/old.bak"));
    saveScreenshot(&notification, QStringLiteral("scan_notification"));

    QStringList entries;
    whenModal<CUndeletedFilesDlg>([&](CUndeletedFilesDlg* list) {
        EXPECT_TRUE(spinUntil([list] { return !list->isLoading(); }));
        for (int row = 0; row < list->listBox()->count(); ++row)
            entries.append(list->listBox()->item(row)->text());
        saveScreenshot(list, QStringLiteral("scan_undeleted_list"));
        list->accept();
    });
    QTest::mouseClick(&notification, Qt::LeftButton, Qt::NoModifier, QPoint(30, 20));
    cancelWhenModal();
    const QString lowered = QString::fromStdString(folder).toLower();
    EXPECT_EQ(entries, (QStringList{lowered + "/inuse.bak", lowered + "/readonly.bak"}));
    EXPECT_FALSE(notification.isVisible());
    ::chmod((folder + "/readonly.bak").c_str(), 0644);
}

} // namespace
} // namespace MW::Test
