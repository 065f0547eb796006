#pragma once

#include <QObject>

namespace MW {

class CMainDlg;
class CServiceLink;

// The configurator's event sink: subscribes to the service's four events
// through the link ("advise") and hands each to the main window's reaction.
// Events that arrive before the owner is set are ignored.
class CMWObserver : public QObject {
    Q_OBJECT
public:
    explicit CMWObserver(QObject* parent = nullptr);
    ~CMWObserver() override;

    void setOwner(CMainDlg* owner) { m_owner = owner; }
    CMainDlg* owner() const { return m_owner; }

    // Each failure is reported in a message box (no owner window) and leaves the
    // sink unsubscribed.
    void AdviseEngine(CServiceLink* engine);
    void UnadviseEngine();
    bool isAdvised() const;

    static const QString kServiceUnavailable;
    static const QString kAdviseFailed;
    static const QString kTestText;
    static const QString kTestCaption;

    // The four events.
    void scanStarted();
    void scanFinished();
    void updateCleanedSpace(quint64 total);
    void test();

private:
    CServiceLink* m_engine = nullptr;
    CMainDlg* m_owner = nullptr;
};

} // namespace MW
