#pragma once

#include "CProxyDlg.h"
#include "ConfigValues.h"
#include "FileTypes.h"

#include <QDateTime>
#include <QString>
#include <QWidget>
#include <array>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimeEdit;

namespace MW {

// The Settings tab: folder, file types, age and start time, and the proxy dialog.
// It never talks to the service; it holds the values, gives and takes them as
// plain values, and asks for a save through settingsChanged().
class CSettingsDlg : public QWidget {
    Q_OBJECT
public:
    explicit CSettingsDlg(QWidget* parent = nullptr);
    ~CSettingsDlg() override;

    // The page's size in the template: 308 x 242 dialog units.
    QSize sizeHint() const override;

    void SetFolder(const QString& folder);
    QString GetFolder();
    void SetOtherFileTypes(const QString& types);
    QString GetOtherFileTypes();
    // 0 to 5 checks that radio button; anything else leaves every one unchecked.
    void SetDeleteAge(qint32 age);
    // The checked radio button's index, -1 when none is.
    qint32 GetDeleteAge();
    void ApplyFileTypes(const QString& text);
    QString BuildFileTypes();
    void EnableStartTime(bool enable);
    // For a user the service takes no changes from: every control that would
    // change a setting is disabled (the values stay visible) and a note names
    // `group`, whose members may change them.
    void SetReadOnly(bool readOnly, const QString& group);
    bool isReadOnly() const { return m_bReadOnly; }
    static QString readOnlyText(const QString& group);
    // Until the service's values have been loaded the page shows that, and its
    // controls invite no edits of values that are not the service's.
    void SetLoaded(bool loaded);
    bool isLoaded() const { return m_bLoaded; }
    static const QString kNotLoaded;

    // The page's settings (folder, types, other types, age, start time and the
    // proxy dialog's values) into `values`, as shown, changing nothing.
    void ShownValues(Client::SSettingsValues& values) const;
    // The same for a save: the typed folder becomes the page's folder and the
    // picker's moment its start time, as GetFolder() and startTime() do.
    void TakeValues(Client::SSettingsValues& values);
    // Every one of the page's settings from `values`.
    void SetValues(const Client::SSettingsValues& values);
    // One of them, leaving the others (and an edit under way in them) alone;
    // false for a property the page does not hold.
    bool SetValue(Client::EProperty property, const Client::SSettingsValues& values);
    // The stored start time, put into the picker with its date.
    void setStartTime(double oleDate);
    // The picker's date and time; also becomes the stored start time.
    double startTime();
    // The stored start time; 0 and invalid until one is set.
    double storedStartTime() const { return m_startTime; }
    bool storedStartTimeValid() const { return m_bStartTimeValid; }

    CProxyDlg& proxyDlg() { return m_proxyDlg; }

    // Controls, for the main window's keyboard rules and for tests.
    QLineEdit* folderEdit() const { return m_folderEdit; }
    QLineEdit* otherTypesEdit() const { return m_otherTypesEdit; }
    QCheckBox* fileTypeBox(std::size_t index) const { return m_typeBoxes[index]; }
    QRadioButton* ageButton(int index) const;
    QTimeEdit* startTimeEdit() const { return m_timeEdit; }
    QPushButton* browseButton() const { return m_browseButton; }
    QPushButton* proxyButton() const { return m_proxyButton; }
    QLabel* readOnlyNote() const { return m_readOnlyNote; }

    // Valid when the text names an existing directory (a link to one counts).
    static bool IsValidLocation(const QString& path);
    static const QString kInvalidLocation;

    CProxyDlg m_proxyDlg;

signals:
    // Sent synchronously when the start time changed or the proxy dialog closed with OK.
    void settingsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void layoutControls();
    void showFileTypes();
    void readFileTypes();
    void onFolderFocusLost();
    void onStartTimeFocusLost();
    void onBrowse();
    void onProxySettings();
    void applyAccess();
    double pickerMoment() const;

    QString m_strFolder;
    QString m_strOtherFileTypes;
    double m_startTime = 0;
    bool m_bStartTimeValid = false;
    // The picker edits only the time of day; this is the date last put into it.
    QDate m_pickerDate = QDate::currentDate();
    qint32 m_nDeleteAge = 0;
    Client::FileTypeFlags m_fileTypeChecked{};
    bool m_bStartTimeEnabled = true; // as the scan state allows
    bool m_bReadOnly = false;
    bool m_bLoaded = true;
    QString m_strGroup;

    QLabel* m_banner = nullptr;
    QGroupBox* m_typesGroup = nullptr;
    std::array<QCheckBox*, Client::kFileTypeCount> m_typeBoxes{};
    QLabel* m_otherTypesLabel = nullptr;
    QLineEdit* m_otherTypesEdit = nullptr;
    QGroupBox* m_folderGroup = nullptr;
    QLineEdit* m_folderEdit = nullptr;
    QPushButton* m_browseButton = nullptr;
    QGroupBox* m_ageGroup = nullptr;
    QButtonGroup* m_ageButtons = nullptr;
    QGroupBox* m_timeGroup = nullptr;
    QTimeEdit* m_timeEdit = nullptr;
    QPushButton* m_proxyButton = nullptr;
    QLabel* m_readOnlyNote = nullptr;
};

// The locale's time format without a time-zone part, for the start-time picker.
QString localeTimeFormat();

} // namespace MW
