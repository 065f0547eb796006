#include "CScanWatcher.h"

#include "Contract.h"
#include "CtlLink.h"
#include "Format.h"
#include "Output.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <cstdio>

namespace MW::Ctl {
namespace {

constexpr int kTerminalRedrawMs = 200;
// Without a terminal a line per deleted file would flood a log; one a second.
constexpr qint64 kLineIntervalMs = 1000;

QString elapsedText(double seconds) {
    const auto total = static_cast<qint64>(seconds);
    return QStringLiteral("%1:%2")
        .arg(total / 60, 2, 10, QLatin1Char('0'))
        .arg(total % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

CScanWatcher::CScanWatcher(CServiceLink& link, EDisplay display)
    : m_link(link), m_eDisplay(display),
      m_serviceWatcher(QString::fromLatin1(Bus::kServiceName), link.bus(),
                       QDBusServiceWatcher::WatchForUnregistration) {
    connect(&link, &CServiceLink::scanStarted, this, &CScanWatcher::onScanStarted);
    connect(&link, &CServiceLink::scanFinished, this, &CScanWatcher::onScanFinished);
    connect(&link, &CServiceLink::updateCleanedSpace, this, &CScanWatcher::onUpdateCleanedSpace);
    connect(&m_serviceWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
            &CScanWatcher::onServiceGone);
    if (!link.adviseEngine())
        throw CCtlError(QStringLiteral("cannot follow the service's scan events"));
    m_redrawTimer.setInterval(kTerminalRedrawMs);
    connect(&m_redrawTimer, &QTimer::timeout, this, &CScanWatcher::redraw);
    connect(&m_pollTimer, &QTimer::timeout, this, &CScanWatcher::poll);
}

bool CScanWatcher::run() {
    const QString read = QStringLiteral("cannot read the service's state");
    // The signals are subscribed (constructor) before anything is asked, so no
    // event of this scan can slip past.
    m_nBaseline = attempt(read, [&] { return m_link.Config()->CleanedSpace(); });
    m_strLastScan = attempt(read, [&] { return m_link.Config()->LastScan(); });
    const int state = attempt(read, [&] { return m_link.ActivityState(); });
    if (state == 1) {
        // A running scan drops the request; follow that scan instead.
        if (m_eDisplay != EDisplay::Quiet)
            printLine(QStringLiteral("A scan is running already; following it."));
        onScanStarted();
    } else {
        attempt(QStringLiteral("the service refused to start a scan"), [&] { m_link.scanNow(); });
    }
    // exec() and quit() from the slots: a loop of processEvents(WaitForMoreEvents)
    // testing a flag set by a slot goes back to sleep after that slot has run,
    // and nothing may come to wake it.
    QEventLoop loop;
    m_pLoop = &loop;
    m_pollTimer.start(kPollMs);
    if (m_bStarted && m_bFinishSeen)
        confirmFinished();
    if (!m_bFinished && !m_bGone)
        loop.exec();
    m_pLoop = nullptr;
    m_pollTimer.stop();
    m_redrawTimer.stop();
    return m_bFinished;
}

double CScanWatcher::elapsedSeconds() const {
    return m_elapsed.isValid() ? static_cast<double>(m_elapsed.elapsed()) / 1000.0 : 0.0;
}

void CScanWatcher::onScanStarted() {
    if (m_bStarted)
        return;
    m_bStarted = true;
    m_elapsed.start();
    if (m_eDisplay == EDisplay::Lines)
        printLine(QStringLiteral("Scan started."));
    if (m_eDisplay == EDisplay::Terminal) {
        show(false);
        m_redrawTimer.start();
    }
    // The finish came first (the two events of a short scan, reordered).
    if (m_bFinishSeen)
        confirmFinished();
}

void CScanWatcher::onUpdateCleanedSpace(quint64 total) {
    // The first event may come before we saw the start (a scan followed late).
    onScanStarted();
    m_nFreed = total > m_nBaseline ? total - m_nBaseline : 0;
    if (m_eDisplay == EDisplay::Lines &&
        (m_nLastLineMs < 0 || m_elapsed.elapsed() - m_nLastLineMs >= kLineIntervalMs))
        show(false);
}

void CScanWatcher::onScanFinished() {
    // Either ours or the late end of the cycle before our request; before our
    // scan has begun it only counts once ActivityState bears it out.
    m_bFinishSeen = true;
    if (m_bStarted)
        confirmFinished();
}

void CScanWatcher::confirmFinished() {
    if (m_bFinished || m_bGone || !m_pLoop)
        return;
    int state = 1;
    try {
        state = m_link.ActivityState();
    } catch (const CCallError&) {
        return; // the poll asks again; a service gone ends the wait by itself
    }
    if (state == 1) {
        m_bFinishSeen = false; // a stale finish: ours is still to come
        return;
    }
    finish();
}

void CScanWatcher::poll() {
    if (m_bFinished || m_bGone)
        return;
    int state = 0;
    QString lastScan;
    try {
        state = m_link.ActivityState();
        if (state != 1 && !m_bStarted)
            lastScan = m_link.Config()->LastScan();
    } catch (const CCallError&) {
        return;
    }
    if (state == 1) {
        onScanStarted(); // its start event was missed
    } else if (m_bStarted) {
        finish(); // its finish event was missed
    } else if (lastScan != m_strLastScan) {
        // Both events of a short scan were missed; LastScan shows it ran.
        onScanStarted();
        finish();
    }
}

void CScanWatcher::finish() {
    if (m_bFinished)
        return;
    m_bFinished = true;
    if (m_eDisplay != EDisplay::Quiet)
        show(true);
    if (m_pLoop)
        m_pLoop->quit();
}

void CScanWatcher::onServiceGone() {
    m_bGone = true;
    if (m_eDisplay == EDisplay::Terminal)
        std::fputs("\n", stdout);
    if (m_pLoop)
        m_pLoop->quit();
}

void CScanWatcher::redraw() {
    if (m_eDisplay == EDisplay::Terminal)
        show(false);
}

void CScanWatcher::show(bool final) {
    // No file count: the service merges running totals that come faster than the
    // bus takes them, so only the bytes are known exactly.
    const QString text = QStringLiteral("%1 MB freed, %2")
                             .arg(formatMegabytes(m_nFreed), elapsedText(elapsedSeconds()));
    if (m_eDisplay == EDisplay::Terminal) {
        // Back to the line's start and clear it, so a shorter line leaves no rest.
        const QByteArray bytes = ("\r\033[KScanning: " + text).toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
        if (final)
            std::fputs("\n", stdout);
        std::fflush(stdout);
    } else if (m_eDisplay == EDisplay::Lines && !final) {
        m_nLastLineMs = m_elapsed.elapsed();
        printLine(QStringLiteral("Scanning: ") + text);
    }
}

} // namespace MW::Ctl
