#include "CSettingsDlg.h"

#include "Messages.h"
#include "PageLayout.h"
#include "OleDateTime.h"
#include "QtValues.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>

namespace MW {

const QString CSettingsDlg::kInvalidLocation = QStringLiteral(
    "The Drive/Folder location specified is not a valid location. Please try again.");
const QString CSettingsDlg::kNotLoaded = QStringLiteral(
    "These settings could not be read from the service and cannot be changed until they are.");

using Client::EProperty;
using Client::kFileTypeCount;
using Link::toQString;
using Link::toUtf8;

namespace {
const char* const kAgeLabels[] = {"1 Day", "1 Week", "1 Month", "3 Month", "6 Month", "1 Year"};
constexpr int kAgeCount = 6;

// Check-box positions in dialog units, in the order of the FileTypes table.
struct Rect {
    int x, y, w, h;
};
constexpr Rect kTypeRects[kFileTypeCount] = {
    {24, 63, 30, 9}, {24, 82, 31, 9}, {24, 101, 34, 9}, {24, 120, 32, 9}, {24, 139, 31, 9},
    {65, 63, 27, 9}, {65, 82, 37, 9}, {65, 101, 36, 9}, {65, 120, 34, 9}, {65, 139, 31, 9},
};
constexpr Rect kAgeRects[kAgeCount] = {
    {136, 132, 48, 9}, {136, 148, 55, 9}, {136, 164, 56, 9},
    {206, 132, 54, 9}, {206, 148, 56, 9}, {206, 164, 57, 9},
};
} // namespace

QString localeTimeFormat() {
    // Qt's long formats end in a time-zone name, which a time of day does not need.
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        result += c;
    }
    return result.trimmed();
}

CSettingsDlg::CSettingsDlg(QWidget* parent) : QWidget(parent), m_proxyDlg(this) {
    // Linux has no drive letters: the root folder takes the place of "C:\".
    m_strFolder = QStringLiteral("/");
    setFont(dialogFont());
    createControls();
    layoutControls();

    m_folderEdit->installEventFilter(this);
    m_timeEdit->installEventFilter(this);
    if (auto* inner = m_timeEdit->findChild<QLineEdit*>())
        inner->installEventFilter(this);
    connect(m_browseButton, &QPushButton::clicked, this, &CSettingsDlg::onBrowse);
    connect(m_proxyButton, &QPushButton::clicked, this, &CSettingsDlg::onProxySettings);

    // Every member into its control.
    m_folderEdit->setText(m_strFolder);
    m_otherTypesEdit->setText(m_strOtherFileTypes);
    showFileTypes();
    SetDeleteAge(m_nDeleteAge);
}

CSettingsDlg::~CSettingsDlg() = default;

void CSettingsDlg::createControls() {
    m_banner = addBanner(this);
    // Group boxes are created first so the controls drawn over them stay on top.
    m_typesGroup = new QGroupBox(QStringLiteral("Select File Types:"), this);
    m_folderGroup = new QGroupBox(QStringLiteral("Drive / Folder Location:"), this);
    m_ageGroup = new QGroupBox(QStringLiteral("Delete files older than:"), this);
    m_timeGroup = new QGroupBox(QStringLiteral("Time set to run:"), this);

    for (std::size_t i = 0; i < kFileTypeCount; ++i)
        m_typeBoxes[i] = new QCheckBox(QLatin1String(Client::FileTypeBoxes()[i].label), this);
    m_otherTypesLabel = new QLabel(QStringLiteral("Other File Types you wish to delete:"), this);
    m_otherTypesLabel->setWordWrap(true);
    m_otherTypesLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_otherTypesEdit = new QLineEdit(this);

    m_folderEdit = new QLineEdit(this);
    m_browseButton = new QPushButton(QStringLiteral("Browse"), this);

    m_ageButtons = new QButtonGroup(this);
    for (int i = 0; i < kAgeCount; ++i)
        m_ageButtons->addButton(new QRadioButton(QLatin1String(kAgeLabels[i]), this), i);

    m_timeEdit = new QTimeEdit(this);
    m_timeEdit->setDisplayFormat(localeTimeFormat());
    m_timeEdit->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    m_proxyButton = new QPushButton(QStringLiteral("Set Proxy Settings"), this);
    m_readOnlyNote = new QLabel(this);
    m_readOnlyNote->hide();

    // Tab order follows the template: types, other types, folder, age, time, proxy.
    QWidget* previous = m_typeBoxes[0];
    auto chain = [&previous](QWidget* next) {
        setTabOrder(previous, next);
        previous = next;
    };
    for (std::size_t i = 1; i < kFileTypeCount; ++i)
        chain(m_typeBoxes[i]);
    for (QWidget* next :
         {static_cast<QWidget*>(m_otherTypesEdit), static_cast<QWidget*>(m_folderEdit),
          static_cast<QWidget*>(m_browseButton)})
        chain(next);
    for (int i = 0; i < kAgeCount; ++i)
        chain(m_ageButtons->button(i));
    chain(m_timeEdit);
    chain(m_proxyButton);
}

QSize CSettingsDlg::sizeHint() const {
    return DialogUnits(font()).size(308, 242);
}

void CSettingsDlg::layoutControls() {
    const DialogUnits du(font());
    place(m_typesGroup, du, 10, 42, 100, 166);
    for (std::size_t i = 0; i < kFileTypeCount; ++i) {
        const Rect& r = kTypeRects[i];
        place(m_typeBoxes[i], du, r.x, r.y, r.w, r.h);
    }
    place(m_otherTypesLabel, du, 24, 163, 67, 17);
    place(m_otherTypesEdit, du, 24, 186, 72, 13);
    place(m_folderGroup, du, 122, 42, 154, 64);
    place(m_folderEdit, du, 135, 62, 128, 14);
    place(m_browseButton, du, 136, 81, 43, 14);
    place(m_ageGroup, du, 122, 115, 154, 71);
    for (int i = 0; i < kAgeCount; ++i) {
        const Rect& r = kAgeRects[i];
        place(m_ageButtons->button(i), du, r.x, r.y, r.w, r.h);
    }
    place(m_timeGroup, du, 122, 195, 154, 34);
    place(m_timeEdit, du, 135, 208, 89, 13);
    place(m_proxyButton, du, 10, 215, 100, 14);
    // Below everything else, in the page's last line.
    place(m_readOnlyNote, du, 10, 230, 276, 9);
}

QRadioButton* CSettingsDlg::ageButton(int index) const {
    return qobject_cast<QRadioButton*>(m_ageButtons->button(index));
}

void CSettingsDlg::SetFolder(const QString& folder) {
    m_strFolder = folder;
    m_folderEdit->setText(m_strFolder);
}

QString CSettingsDlg::GetFolder() {
    m_strFolder = m_folderEdit->text();
    return m_strFolder;
}

void CSettingsDlg::SetOtherFileTypes(const QString& types) {
    m_strOtherFileTypes = types;
    m_otherTypesEdit->setText(m_strOtherFileTypes);
}

QString CSettingsDlg::GetOtherFileTypes() {
    m_strOtherFileTypes = m_otherTypesEdit->text();
    return m_strOtherFileTypes;
}

void CSettingsDlg::SetDeleteAge(qint32 age) {
    m_nDeleteAge = age;
    if (age >= 0 && age < kAgeCount) {
        m_ageButtons->button(age)->setChecked(true);
        return;
    }
    // An exclusive group refuses to uncheck its last checked button.
    m_ageButtons->setExclusive(false);
    for (QAbstractButton* button : m_ageButtons->buttons())
        button->setChecked(false);
    m_ageButtons->setExclusive(true);
}

qint32 CSettingsDlg::GetDeleteAge() {
    m_nDeleteAge = m_ageButtons->checkedId();
    return m_nDeleteAge;
}

void CSettingsDlg::showFileTypes() {
    for (std::size_t i = 0; i < kFileTypeCount; ++i)
        m_typeBoxes[i]->setChecked(m_fileTypeChecked[i]);
}

void CSettingsDlg::readFileTypes() {
    for (std::size_t i = 0; i < kFileTypeCount; ++i)
        m_fileTypeChecked[i] = m_typeBoxes[i]->checkState() == Qt::Checked;
}

void CSettingsDlg::ApplyFileTypes(const QString& text) {
    m_fileTypeChecked = Client::ApplyFileTypes(toUtf8(text));
    // All members into their controls, as a full transfer does.
    m_folderEdit->setText(m_strFolder);
    m_otherTypesEdit->setText(m_strOtherFileTypes);
    showFileTypes();
    SetDeleteAge(m_nDeleteAge);
}

QString CSettingsDlg::BuildFileTypes() {
    GetFolder();
    GetOtherFileTypes();
    GetDeleteAge();
    readFileTypes();
    return toQString(Client::BuildFileTypes(m_fileTypeChecked));
}

void CSettingsDlg::EnableStartTime(bool enable) {
    m_bStartTimeEnabled = enable;
    m_timeEdit->setEnabled(enable && !m_bReadOnly && m_bLoaded);
}

QString CSettingsDlg::readOnlyText(const QString& group) {
    return QStringLiteral("Only administrators and members of the group \u201C%1\u201D can change "
                          "these settings.")
        .arg(group);
}

void CSettingsDlg::SetReadOnly(bool readOnly, const QString& group) {
    m_bReadOnly = readOnly;
    m_strGroup = group;
    applyAccess();
}

void CSettingsDlg::SetLoaded(bool loaded) {
    m_bLoaded = loaded;
    applyAccess();
}

void CSettingsDlg::applyAccess() {
    const bool enable = !m_bReadOnly && m_bLoaded;
    for (QCheckBox* box : m_typeBoxes)
        box->setEnabled(enable);
    for (QAbstractButton* button : m_ageButtons->buttons())
        button->setEnabled(enable);
    for (QWidget* control : {static_cast<QWidget*>(m_otherTypesEdit),
                             static_cast<QWidget*>(m_folderEdit),
                             static_cast<QWidget*>(m_browseButton),
                             static_cast<QWidget*>(m_proxyButton)})
        control->setEnabled(enable);
    m_timeEdit->setEnabled(m_bStartTimeEnabled && enable);
    const QString note = m_bReadOnly ? readOnlyText(m_strGroup) : m_bLoaded ? QString() : kNotLoaded;
    // One line in the page's width: a long group name makes the type smaller.
    QFont type = font();
    while (QFontMetrics(type).horizontalAdvance(note) > m_readOnlyNote->width() &&
           type.pointSizeF() > 6.0)
        type.setPointSizeF(type.pointSizeF() - 0.5);
    m_readOnlyNote->setFont(type);
    m_readOnlyNote->setText(note);
    m_readOnlyNote->setToolTip(note);
    m_readOnlyNote->setVisible(!note.isEmpty());
}

void CSettingsDlg::ShownValues(Client::SSettingsValues& values) const {
    values.scanFolder = toUtf8(m_folderEdit->text());
    Client::FileTypeFlags checked{};
    for (std::size_t i = 0; i < kFileTypeCount; ++i)
        checked[i] = m_typeBoxes[i]->checkState() == Qt::Checked;
    values.fileTypes = Client::BuildFileTypes(checked);
    values.otherFileTypes = toUtf8(m_otherTypesEdit->text());
    values.deleteAge = m_ageButtons->checkedId();
    values.startTime = pickerMoment();
    values.proxy = m_proxyDlg.values();
}

void CSettingsDlg::TakeValues(Client::SSettingsValues& values) {
    values.fileTypes = toUtf8(BuildFileTypes()); // reads every control into its member
    values.scanFolder = toUtf8(m_strFolder);
    values.otherFileTypes = toUtf8(m_strOtherFileTypes);
    values.deleteAge = m_nDeleteAge;
    values.startTime = startTime();
    values.proxy = m_proxyDlg.values();
}

void CSettingsDlg::SetValues(const Client::SSettingsValues& values) {
    SetFolder(toQString(values.scanFolder));
    SetOtherFileTypes(toQString(values.otherFileTypes));
    SetDeleteAge(values.deleteAge);
    ApplyFileTypes(toQString(values.fileTypes));
    setStartTime(values.startTime);
    m_proxyDlg.setValues(values.proxy);
}

bool CSettingsDlg::SetValue(EProperty property, const Client::SSettingsValues& values) {
    switch (property) {
    case EProperty::ScanFolder: SetFolder(toQString(values.scanFolder)); break;
    case EProperty::OtherFileTypes: SetOtherFileTypes(toQString(values.otherFileTypes)); break;
    case EProperty::DeleteAge: SetDeleteAge(values.deleteAge); break;
    case EProperty::FileTypes:
        m_fileTypeChecked = Client::ApplyFileTypes(values.fileTypes);
        showFileTypes();
        break;
    case EProperty::StartTime: setStartTime(values.startTime); break;
    case EProperty::ProxyUsage:
    case EProperty::ProxyServer:
    case EProperty::ProxyPort:
    case EProperty::ProxySysUsage:
    case EProperty::ProxySysServer:
    case EProperty::ProxySysBypass:
    case EProperty::ProxySysAccessType: m_proxyDlg.setValues(values.proxy); break;
    default: return false;
    }
    return true;
}

void CSettingsDlg::setStartTime(double oleDate) {
    const QDateTime value = Link::fromOleDate(oleDate);
    m_startTime = oleDate;
    m_bStartTimeValid = value.isValid();
    if (m_bStartTimeValid) {
        m_pickerDate = value.date();
        m_timeEdit->setTime(value.time());
    }
}

double CSettingsDlg::pickerMoment() const {
    return Link::toOleDate(QDateTime(m_pickerDate, m_timeEdit->time()));
}

double CSettingsDlg::startTime() {
    m_startTime = pickerMoment();
    m_bStartTimeValid = true;
    return m_startTime;
}

bool CSettingsDlg::IsValidLocation(const QString& path) {
    // The service runs elsewhere, so a path relative to this program's working
    // folder would name another place there.
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return false;
    return QFileInfo(path).isDir();
}

bool CSettingsDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        if (watched == m_folderEdit)
            onFolderFocusLost();
        else if (watched == m_timeEdit || watched->parent() == m_timeEdit)
            onStartTimeFocusLost();
    }
    return QWidget::eventFilter(watched, event);
}

void CSettingsDlg::onFolderFocusLost() {
    const QString previous = m_strFolder;
    m_strFolder = m_folderEdit->text();
    if (m_strFolder == previous || IsValidLocation(m_strFolder))
        return; // a valid change goes to the service with the next save
    Messages::warning(this, kInvalidLocation);
    m_strFolder = previous;
    m_folderEdit->setText(m_strFolder);
}

void CSettingsDlg::onStartTimeFocusLost() {
    const double picked = pickerMoment();
    if (m_bStartTimeValid && OleDate::sameMoment(picked, m_startTime))
        return;
    m_startTime = picked;
    m_bStartTimeValid = true;
    emit settingsChanged();
}

void CSettingsDlg::onBrowse() {
    // Not tested: the dialog offers existing folders only.
    const QString folder = QFileDialog::getExistingDirectory(
        QApplication::activeWindow(), QString(), QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return;
    m_strFolder = folder;
    m_folderEdit->setText(m_strFolder);
}

void CSettingsDlg::onProxySettings() {
    if (m_proxyDlg.exec() == QDialog::Accepted)
        emit settingsChanged();
}

} // namespace MW
