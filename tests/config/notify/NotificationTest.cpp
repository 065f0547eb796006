#include "CTrayNotificationDlg.h"
#include "CUndeletedFilesDlg.h"
#include "ModalDialogs.h"
#include "QtPrint.h"
#include "Screenshots.h"
#include "Spin.h"
#include "TempDir.h"
#include "UndeletedList.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace MW {
namespace {

QStringList entriesOf(const QListWidget* list) {
    QStringList entries;
    for (int row = 0; row < list->count(); ++row)
        entries.append(list->item(row)->text());
    return entries;
}

// Clicks the notification and, when the list dialog opens, records its entries
// and closes it with OK. Returns whether a list dialog opened at all.
bool clickAndReadList(CTrayNotificationDlg& notification, Qt::MouseButton button,
                      QStringList* entries = nullptr, const char* screenshot = nullptr) {
    bool opened = false;
    MW::Test::whenModal<CUndeletedFilesDlg>([&](CUndeletedFilesDlg* dialog) {
        opened = true;
        // The list is read off the GUI thread and comes a moment after the dialog.
        EXPECT_TRUE(MW::Test::spinUntil([dialog] { return !dialog->isLoading(); }));
        if (entries != nullptr)
            *entries = entriesOf(dialog->listBox());
        if (screenshot != nullptr)
            MW::Test::saveScreenshot(dialog, QString::fromLatin1(screenshot));
        dialog->accept();
    });
    QTest::mouseClick(&notification, button, Qt::NoModifier, QPoint(40, 20));
    MW::Test::cancelWhenModal();
    return opened;
}

TEST(TrayNotification, NothingForZeroOrLessUndeletedFiles) {
    CTrayNotificationDlg notification;
    notification.announce(0, QStringLiteral("/tmp/undeleted.tmp"));
    notification.announce(-1, QStringLiteral("/tmp/undeleted.tmp"));
    EXPECT_FALSE(notification.isVisible());
    EXPECT_FALSE(notification.m_bListReady);
    EXPECT_TRUE(notification.m_strListPath.isEmpty());
    EXPECT_TRUE(notification.m_strText.isEmpty());
}

TEST(TrayNotification, TextsForOneAndSeveralFilesReplaceEachOther) {
    CTrayNotificationDlg notification;
    notification.announce(1, QStringLiteral("/first/undeleted.tmp"));
    EXPECT_TRUE(notification.isVisible());
    EXPECT_TRUE(notification.m_bListReady);
    EXPECT_EQ(notification.textLabel()->text(),
              "There is an undeleted file. Left click for details.");
    EXPECT_EQ(notification.m_strListPath, "/first/undeleted.tmp");

    notification.announce(3, QStringLiteral("/second/undeleted.tmp"));
    EXPECT_EQ(notification.m_strText,
              "There are 3 undeleted files. Left click to show the full list.");
    EXPECT_EQ(notification.textLabel()->text(), notification.m_strText);
    EXPECT_EQ(notification.m_strListPath, "/second/undeleted.tmp");

    // A later scan without leftovers keeps what the window last showed.
    notification.announce(0, QStringLiteral("/third/undeleted.tmp"));
    EXPECT_EQ(notification.m_strListPath, "/second/undeleted.tmp");
    EXPECT_TRUE(notification.m_bListReady);
}

TEST(TrayNotification, ShowsWhileItsOwnerIsHiddenInTheTray) {
    QWidget owner;
    CTrayNotificationDlg notification(&owner);
    notification.announce(2, QString());
    EXPECT_TRUE(notification.isVisible());
    EXPECT_TRUE(notification.isWindow());
    EXPECT_FALSE(owner.isVisible());
}

TEST(TrayNotification, WhiteRoundedWindowInTheWorkAreasCorner) {
    CTrayNotificationDlg notification;
    notification.announce(2, QString());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&notification));

    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(notification.frameGeometry().bottomRight(), area.bottomRight());
    EXPECT_TRUE(notification.windowFlags().testFlag(Qt::FramelessWindowHint));

    const QImage image = notification.grab().toImage();
    EXPECT_EQ(image.pixelColor(image.width() / 2, 2), QColor(Qt::white));
    // The corners are cut off, the middle of each edge is not.
    const QRegion mask = notification.mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(notification.width() - 1, notification.height() - 1)));
    EXPECT_TRUE(mask.contains(QPoint(notification.width() / 2, 0)));
    EXPECT_TRUE(mask.contains(QPoint(0, notification.height() / 2)));
    EXPECT_TRUE(mask.contains(QPoint(notification.width() - 1, notification.height() / 2)));
    // The picture shows the window's shape on a grey desktop.
    QPixmap shaped(notification.size());
    shaped.fill(Qt::darkGray);
    QPainter painter(&shaped);
    painter.setClipRegion(mask);
    painter.drawImage(0, 0, image);
    painter.end();
    QLabel picture;
    picture.setPixmap(shaped);
    picture.resize(shaped.size());
    MW::Test::saveScreenshot(&picture, QStringLiteral("notification"));
}

TEST(TrayNotification, CornerFollowsTheWorkAreaWhereverThePanelIs) {
    const QSize size(300, 50);
    // Panel at the bottom, on the left, at the top of a 1920 x 1080 screen.
    EXPECT_EQ(CTrayNotificationDlg::cornerPosition(QRect(0, 0, 1920, 1040), size),
              QPoint(1620, 990));
    EXPECT_EQ(CTrayNotificationDlg::cornerPosition(QRect(64, 0, 1856, 1080), size),
              QPoint(1620, 1030));
    EXPECT_EQ(CTrayNotificationDlg::cornerPosition(QRect(0, 32, 1920, 1048), size),
              QPoint(1620, 1030));
}

TEST(TrayNotification, RightClickHidesWithoutTheList) {
    CTrayNotificationDlg notification;
    notification.announce(3, QStringLiteral("/nonexistent/undeleted.tmp"));
    EXPECT_FALSE(clickAndReadList(notification, Qt::RightButton));
    EXPECT_FALSE(notification.isVisible());
}

TEST(TrayNotification, LeftClickBeforeAnyAnnouncementOnlyHides) {
    CTrayNotificationDlg notification;
    notification.show();
    EXPECT_FALSE(clickAndReadList(notification, Qt::LeftButton));
    EXPECT_FALSE(notification.isVisible());
}

TEST(TrayNotification, LeftClickShowsTheSortedListReadAfreshThenHides) {
    MW::Test::TempDir dir;
    const std::string file = dir / "undeleted.tmp";
    MW::Test::writeFile(file, "/home/u/drawings/c.dwl\r\n\r\n/home/u/drawings/a.bak\r\n"
                              "/home/u/drawings/b.sv$\r\n\r\n");
    CTrayNotificationDlg notification;
    notification.announce(3, QString::fromStdString(file));

    QStringList entries;
    EXPECT_TRUE(clickAndReadList(notification, Qt::LeftButton, &entries, "undeleted_list"));
    EXPECT_EQ(entries, (QStringList{"/home/u/drawings/a.bak", "/home/u/drawings/b.sv$",
                                    "/home/u/drawings/c.dwl"}));
    EXPECT_FALSE(notification.isVisible());

    // The file is read again on the next opening.
    MW::Test::writeFile(file, "/home/u/drawings/z.bak\n");
    notification.announce(1, QString::fromStdString(file));
    EXPECT_TRUE(clickAndReadList(notification, Qt::LeftButton, &entries));
    EXPECT_EQ(entries, QStringList{"/home/u/drawings/z.bak"});
}

TEST(UndeletedFilesDialog, WidestPathScrollsIntoView) {
    MW::Test::TempDir dir;
    const std::string file = dir / "undeleted.tmp";
    const std::string longPath = "/home/u/" + std::string(292, 'w');
    MW::Test::writeFile(file, "/home/u/short.bak\r\n" + longPath + "\r\n");

    CUndeletedFilesDlg dialog;
    dialog.setListPath(QString::fromStdString(file));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    ASSERT_TRUE(MW::Test::spinUntil([&] { return !dialog.isLoading(); }));
    QListWidget* list = dialog.listBox();
    ASSERT_EQ(list->count(), 2);
    // The entries are laid out in batches between events.
    MW::Test::spinUntil([&] { return list->horizontalScrollBar()->isVisible(); }, 5000);
    EXPECT_EQ(list->item(1)->text().size(), 300);

    QScrollBar* bar = list->horizontalScrollBar();
    const int textWidth = list->fontMetrics().horizontalAdvance(list->item(1)->text());
    EXPECT_TRUE(bar->isVisible());
    EXPECT_GE(bar->maximum() + list->viewport()->width(), textWidth);

    // Scrolled to the end, the path's last character is in view.
    bar->setValue(bar->maximum());
    const QRect itemRect = list->visualItemRect(list->item(1));
    EXPECT_LE(itemRect.left() + textWidth, list->viewport()->width());
    MW::Test::saveScreenshot(&dialog, QStringLiteral("undeleted_list_scrolled"));
}

// A list longer than the dialog shows: the entries that sort first, then one
// entry saying how many more there are.
TEST(UndeletedFilesDialog, ALongListShowsTheFirstEntriesAndCountsTheRest) {
    MW::Test::TempDir dir;
    const std::string file = dir / "undeleted.tmp";
    const int total = static_cast<int>(Client::kMaxUndeletedEntries) + 5;
    std::string text;
    for (int i = total - 1; i >= 0; --i)
        text += "/d/" + std::to_string(1000000 + i) + ".bak\n";
    MW::Test::writeFile(file, text);

    CUndeletedFilesDlg dialog;
    dialog.setListPath(QString::fromStdString(file));
    dialog.show();
    EXPECT_TRUE(dialog.isLoading());
    ASSERT_TRUE(MW::Test::spinUntil([&] { return !dialog.isLoading(); }));
    const QListWidget* list = dialog.listBox();
    ASSERT_EQ(list->count(), static_cast<int>(Client::kMaxUndeletedEntries) + 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("/d/1000000.bak"));
    EXPECT_EQ(list->item(list->count() - 2)->text(),
              QStringLiteral("/d/%1.bak").arg(1000000 + Client::kMaxUndeletedEntries - 1));
    EXPECT_EQ(list->item(list->count() - 1)->text(), QString::fromUtf8("\u2026 and 5 more"));
    // Laid out in batches between events: the last entry gets its place soon.
    QListWidgetItem* last = list->item(list->count() - 1);
    EXPECT_TRUE(MW::Test::spinUntil([&] { return !list->visualItemRect(last).isEmpty(); }, 20000));
    dialog.listBox()->scrollToBottom();
    MW::Test::spinFor(100);
    MW::Test::saveScreenshot(&dialog, QStringLiteral("undeleted_list_more"));
}

} // namespace
} // namespace MW
