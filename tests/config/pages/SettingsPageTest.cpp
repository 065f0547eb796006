// The Settings page on its own: folder checks on focus loss, the age radios, the
// file-type boxes and the start-time picker.

#include "CSettingsDlg.h"
#include "QtValues.h"
#include "MessageBoxes.h"
#include "PageTestSupport.h"
#include "Screenshots.h"
#include "Spin.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <gtest/gtest.h>

namespace MW::Test {
namespace {

const QString kWarningText =
    "The Drive/Folder location specified is not a valid location. Please try again.";

class SettingsPageTest : public ::testing::Test {
protected:
    // Types a folder and moves the focus away, as a user tabbing on would.
    void typeFolder(const QString& text) {
        page.folderEdit()->setText(text);
        moveFocus(page.folderEdit(), page.otherTypesEdit());
    }

    CSettingsDlg page;
    ScratchDir scratch;
};

TEST_F(SettingsPageTest, FolderIsCheckedOnFocusLossOnlyWhenItChanged) {
    const QString gone = scratch.path("gone");
    ASSERT_TRUE(QDir().mkdir(gone));
    page.SetFolder(gone);
    ASSERT_TRUE(QDir().rmdir(gone));

    // Unchanged: no warning, even though the folder no longer exists.
    MessageBoxRecorder boxes;
    moveFocus(page.folderEdit(), page.otherTypesEdit());
    moveFocus(page.folderEdit(), page.browseButton());
    spinFor(100);
    EXPECT_EQ(boxes.count(), 0);
    EXPECT_EQ(page.GetFolder(), gone);

    // A file is refused: the warning, and the previous text comes back.
    const QString file = scratch.path("plan.dwg");
    QFile(file).open(QIODevice::WriteOnly);
    typeFolder(file);
    ASSERT_EQ(boxes.count(), 1);
    EXPECT_EQ(boxes.boxes()[0].text, kWarningText);
    EXPECT_EQ(boxes.boxes()[0].caption, "Warning!");
    EXPECT_EQ(boxes.boxes()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(page.folderEdit()->text(), gone);

    // A folder, and a link to a folder, are accepted silently.
    typeFolder(scratch.path());
    EXPECT_EQ(page.GetFolder(), scratch.path());
    const QString link = scratch.path("link");
    ASSERT_TRUE(QFile::link(scratch.path(), link));
    typeFolder(link);
    EXPECT_EQ(page.GetFolder(), link);
    EXPECT_EQ(boxes.count(), 1);

    // Neither a missing path, nor a relative one (the service runs elsewhere), nor nothing.
    for (const QString& bad : {scratch.path("missing"), QStringLiteral("tmp"), QString()}) {
        boxes.clear();
        typeFolder(bad);
        EXPECT_EQ(boxes.count(), 1) << bad.toStdString();
        EXPECT_EQ(page.folderEdit()->text(), link);
    }
}

TEST_F(SettingsPageTest, AnAgeOutsideTheRangeLeavesNoRadioChecked) {
    for (qint32 age = 0; age <= 5; ++age) {
        page.SetDeleteAge(age);
        EXPECT_TRUE(page.ageButton(age)->isChecked());
        EXPECT_EQ(page.GetDeleteAge(), age);
    }
    for (qint32 outside : {42, -1, 6}) {
        page.SetDeleteAge(outside);
        for (int i = 0; i <= 5; ++i)
            EXPECT_FALSE(page.ageButton(i)->isChecked()) << outside << " " << i;
        EXPECT_EQ(page.GetDeleteAge(), -1);
    }
    // The group stays exclusive for the user afterwards.
    page.ageButton(2)->click();
    page.ageButton(4)->click();
    EXPECT_FALSE(page.ageButton(2)->isChecked());
    EXPECT_EQ(page.GetDeleteAge(), 4);
}

TEST_F(SettingsPageTest, FileTypeBoxesFollowTheTextAndBuildItBack) {
    page.ApplyFileTypes(".dwl2");
    EXPECT_TRUE(page.fileTypeBox(1)->isChecked());
    EXPECT_TRUE(page.fileTypeBox(2)->isChecked());
    EXPECT_EQ(page.BuildFileTypes(), ".dwl,.dwl2");

    page.ApplyFileTypes(".BAK");
    for (std::size_t i = 0; i < Client::kFileTypeCount; ++i)
        EXPECT_FALSE(page.fileTypeBox(i)->isChecked());
    page.fileTypeBox(1)->click();
    page.fileTypeBox(9)->click();
    EXPECT_EQ(page.BuildFileTypes(), ".dwl,.fzb");
    EXPECT_EQ(page.fileTypeBox(6)->text(), "*.0*.rvt");
}

TEST_F(SettingsPageTest, StartTimeChangeIsAnnouncedOnFocusLossAndOnlyWhenItDiffers) {
    int changes = 0;
    QObject::connect(&page, &CSettingsDlg::settingsChanged, [&] { ++changes; });
    // A date long past: the page keeps whatever date it was given.
    const double stored = Link::toOleDate(QDateTime(QDate(1999, 7, 4), QTime(9, 0)));
    page.setStartTime(stored);
    EXPECT_EQ(page.startTimeEdit()->time(), QTime(9, 0));

    moveFocus(page.startTimeEdit(), page.proxyButton());
    EXPECT_EQ(changes, 0) << "unchanged";

    page.startTimeEdit()->setTime(QTime(13, 30));
    EXPECT_EQ(changes, 0) << "nothing before the focus leaves";
    moveFocus(page.startTimeEdit(), page.proxyButton());
    EXPECT_EQ(changes, 1);
    // The picker's date is the stored one; only the time of day changed.
    EXPECT_EQ(Link::fromOleDate(page.storedStartTime()), QDateTime(QDate(1999, 7, 4), QTime(13, 30)));

    // Changed and set back before the focus leaves: nothing to say.
    page.startTimeEdit()->setTime(QTime(15, 0));
    page.startTimeEdit()->setTime(QTime(13, 30));
    moveFocus(page.startTimeEdit(), page.proxyButton());
    EXPECT_EQ(changes, 1);
    page.startTimeEdit()->setTime(QTime(9, 0));
    moveFocus(page.startTimeEdit(), page.proxyButton());
    EXPECT_EQ(changes, 2);
}

TEST_F(SettingsPageTest, ScreenshotOfTheSettingsTab) {
    page.SetFolder(QStringLiteral("/home/drawings/Projects"));
    page.ApplyFileTypes(".bak,.dwl,.dwl2,.rvt");
    page.SetOtherFileTypes(QStringLiteral(".tmp,.old"));
    page.SetDeleteAge(2);
    page.setStartTime(Link::toOleDate(QDateTime(QDate(1999, 7, 4), QTime(21, 15))));
    page.resize(page.sizeHint());
    showActive(&page);
    const QString path = saveScreenshot(&page, QStringLiteral("pages_settings"));
    EXPECT_FALSE(path.isEmpty());
    // Nothing pokes out of the page.
    for (QWidget* child : page.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow()) {
            EXPECT_TRUE(page.rect().contains(child->geometry()))
                << child->metaObject()->className();
        }
    }
}

} // namespace
} // namespace MW::Test
