#pragma once
// Follows one scan through the service's signals, from scanStarted to
// scanFinished, and shows its progress: one line rewritten in place on a
// terminal, plain lines otherwise, nothing with --json.
//
// The signals alone cannot be trusted to end the wait: a scanFinished of the
// cycle before ours may still be on its way when our request is answered, and
// the two events of a short scan may reach us in reverse order. So a finish
// ends the wait only once ActivityState confirms the service is idle after our
// scan began, and ActivityState is read again every kPollMs while waiting, so a
// missed or reordered signal costs at most that long.

#include <QDBusServiceWatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

namespace MW {
class CServiceLink;
}

namespace MW::Ctl {

class CScanWatcher : public QObject {
    Q_OBJECT
public:
    enum class EDisplay { Terminal, Lines, Quiet };
    static constexpr int kPollMs = 2000;

    CScanWatcher(CServiceLink& link, EDisplay display);

    // Starts the scan (or follows the one already running) and returns when it
    // has finished; false when the service went away first.
    bool run();

    quint64 freedBytes() const { return m_nFreed; }
    double elapsedSeconds() const;

private Q_SLOTS:
    void onScanStarted();
    void onScanFinished();
    void onUpdateCleanedSpace(quint64 total);
    void onServiceGone();
    void redraw();
    void poll();

private:
    void show(bool final);
    // Ends the wait when the service is idle and our scan has begun.
    void confirmFinished();
    void finish();

    CServiceLink& m_link;
    EDisplay m_eDisplay;
    QDBusServiceWatcher m_serviceWatcher;
    QTimer m_redrawTimer;
    QTimer m_pollTimer;
    QEventLoop* m_pLoop = nullptr;
    QString m_strLastScan; // LastScan before our request
    QElapsedTimer m_elapsed;
    qint64 m_nLastLineMs = -1;
    quint64 m_nBaseline = 0; // the total before the scan
    quint64 m_nFreed = 0;
    bool m_bStarted = false;
    bool m_bFinishSeen = false; // a scanFinished came that did not end the wait yet
    bool m_bFinished = false;
    bool m_bGone = false;
};

} // namespace MW::Ctl
