#pragma once

#include <QDialog>
#include <QString>

class QListWidget;
class QPushButton;

namespace MW {

// The modal list of the files the last scan could not delete, read from the
// service's list file each time the dialog opens.
class CUndeletedFilesDlg : public QDialog {
    Q_OBJECT
public:
    explicit CUndeletedFilesDlg(QWidget* owner = nullptr);
    ~CUndeletedFilesDlg() override;

    // The file to show; read when the dialog is shown.
    void setListPath(const QString& path) { m_strListPath = path; }
    const QString& listPath() const { return m_strListPath; }

    QListWidget* listBox() const { return m_listBox; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void loadList();
    void centreOnOwner();

    QListWidget* m_listBox = nullptr;
    QString m_strListPath;
    QPushButton* m_okButton = nullptr;
};

} // namespace MW
