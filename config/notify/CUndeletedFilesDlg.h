#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

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
    // Until the list read at the last show is in the list box.
    bool isLoading() const { return m_bLoading; }

    static const QString kMoreEntries;

signals:
    void listLoaded();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void loadList();
    void showList(quint64 load, const QStringList& entries);
    void centreOnOwner();

    QListWidget* m_listBox = nullptr;
    QString m_strListPath;
    QPushButton* m_okButton = nullptr;
    quint64 m_nLoad = 0;
    bool m_bLoading = false;
};

} // namespace MW
