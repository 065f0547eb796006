#pragma once
// Follows one scan through the service's signals, from scanStarted to
// scanFinished, and shows its progress: one line rewritten in place on a
// terminal, plain lines otherwise, nothing with --json.

#include <QDBusServiceWatcher>
#include <QElapsedTimer>
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

private:
    void show(bool final);

    CServiceLink& m_link;
    EDisplay m_eDisplay;
    QDBusServiceWatcher m_serviceWatcher;
    QTimer m_redrawTimer;
    QElapsedTimer m_elapsed;
    qint64 m_nLastLineMs = -1;
    quint64 m_nBaseline = 0; // the total before the scan
    quint64 m_nFreed = 0;
    bool m_bStarted = false;
    bool m_bFinished = false;
    bool m_bGone = false;
};

} // namespace MW::Ctl
