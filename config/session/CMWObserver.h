#pragma once

#include <QObject>
#include <QString>

namespace MW {

class CServiceSession;
class CServiceLink;

// The configurator's event sink: subscribes to the service's four events
// through the link ("advise") and hands each to the session's reaction. Events
// that arrive before the owner is set are ignored.
class CMWObserver : public QObject {
    Q_OBJECT
public:
    explicit CMWObserver(QObject* parent = nullptr);
    ~CMWObserver() override;

    void setOwner(CServiceSession* owner) { m_owner = owner; }
    CServiceSession* owner() const { return m_owner; }

    // Subscribes; returns the message to show (no owner window) when that
    // failed and the sink stays unsubscribed, or an empty text.
    QString AdviseEngine(CServiceLink* engine);
    void UnadviseEngine();
    bool isAdvised() const;

    static const QString kServiceUnavailable;
    static const QString kAdviseFailed;

    // The four events.
    void scanStarted();
    void scanFinished();
    void updateCleanedSpace(quint64 total);
    void test();

private:
    CServiceLink* m_engine = nullptr;
    CServiceSession* m_owner = nullptr;
};

} // namespace MW
