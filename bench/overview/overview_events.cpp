// The Overview page following a scan that deletes N files (default 100,000): the
// real mwservice on a private bus sends one updateCleanedSpace signal per deleted
// file, as fast as the bus takes them, and the page shows each total. Prints the
// signals received, the time from Scan Now until the page shows the last total,
// and, last, the worst stall of the page's event loop (the longest gap between
// ticks of a 1 ms timer).
//
//   overview_events [FILES]      (QT_QPA_PLATFORM defaults to offscreen)

#include "COverviewDlg.h"
#include "CServiceLink.h"
#include "Formatting.h"
#include "Process.h"
#include "TempDir.h"
#include "TestBus.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr off_t kFileBytes = 10'000; // sparse: counted, not written

// FILES old ".bak" files in 100 folders below `root`.
bool makeTree(const std::string& root, long files) {
    const timespec old[2] = {{::time(nullptr) - 3 * 86400, 0}, {::time(nullptr) - 3 * 86400, 0}};
    for (long i = 0; i < files; ++i) {
        const std::string dir = root + "/d" + std::to_string(i % 100);
        if (i < 100 && ::mkdir(dir.c_str(), 0755) != 0)
            return false;
        const std::string path = dir + "/f" + std::to_string(i) + ".bak";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        const bool ok = ::ftruncate(fd, kFileBytes) == 0 && ::futimens(fd, old) == 0;
        ::close(fd);
        if (!ok)
            return false;
    }
    return true;
}

int fail(const char* what) {
    std::fprintf(stderr, "overview_events: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long files = argc > 1 ? std::atol(argv[1]) : 100'000;
    if (files <= 0)
        return fail("FILES must be a positive number");

    MW::Test::TempDir work;
    const std::string tree = work / "tree", state = work / "state";
    if (::mkdir(tree.c_str(), 0755) != 0 || ::mkdir(state.c_str(), 0755) != 0 ||
        !makeTree(tree, files))
        return fail("cannot create the tree");

    MW::Test::TestBus bus;
    qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray::fromStdString(bus.address()));
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", QByteArray::fromStdString("unix:path=" + work / "none"));
    MW::Test::Child service({MW_SERVICE_BINARY, "--bus=session", "--state-dir=" + state},
                            {{"MW_SCAN_PAUSE_MS", "0"}});

    MW::CServiceLink link;
    QElapsedTimer waited;
    waited.start();
    while (!link.createEngine()) {
        if (waited.elapsed() > 30'000)
            return fail("the service did not come up");
        ::usleep(50'000);
    }
    try {
        const auto config = link.Config();
        config->setScanFolder(QString::fromStdString(tree));
        config->setFileTypes(QStringLiteral(".bak"));
        config->setDeleteAge(0);
        config->setCleanedSpace(0);
    } catch (const MW::CCallError& error) {
        return fail(error.what());
    }

    MW::COverviewDlg page;
    page.resize(page.sizeHint());
    page.show();
    page.setEngine(&link);
    long received = 0;
    QObject::connect(&link, &MW::CServiceLink::updateCleanedSpace, &page, [&](quint64 total) {
        ++received;
        page.SetCleanedSpace(QString::fromStdString(MW::Client::FormatMegabytes(total)));
    });
    QObject::connect(&link, &MW::CServiceLink::scanStarted, &page,
                     [&] { page.EnableScanButtons(false); });
    // Signals of one connection arrive in order: at scan-finished every total
    // before it has been shown.
    qint64 drained = -1;
    QElapsedTimer clock;
    QObject::connect(&link, &MW::CServiceLink::scanFinished, &page, [&] {
        page.EnableScanButtons(true);
        drained = clock.nsecsElapsed();
        QTimer::singleShot(0, &app, &QApplication::quit);
    });
    if (!link.adviseEngine())
        return fail("cannot subscribe to the events");

    // The event loop's stalls: gaps between ticks of a 1 ms timer.
    qint64 lastTick = 0, worstStall = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worstStall = std::max(worstStall, now - lastTick);
        lastTick = now;
    });

    QTimer::singleShot(0, [&] {
        clock.start();
        lastTick = 0;
        ticker.start(1);
        page.OnScanNow();
    });
    QTimer::singleShot(600'000, &app, &QApplication::quit); // a service that never finishes
    app.exec();
    ticker.stop();
    const QString expected = QString::fromStdString(
        MW::Client::FormatMegabytes(static_cast<quint64>(files) * static_cast<quint64>(kFileBytes)));
    if (drained < 0)
        return fail("no scan-finished event within ten minutes");
    if (page.cleanedSpaceLabel()->text() != expected)
        std::printf("MISMATCH: the page shows %s MB, the last total is %s MB\n",
                    qPrintable(page.cleanedSpaceLabel()->text()), qPrintable(expected));

    std::printf("files deleted and signals expected: %ld\n", files);
    std::printf("signals received: %ld\n", received);
    std::printf("last total shown: %s MB (expected %s MB)\n",
                qPrintable(page.cleanedSpaceLabel()->text()), qPrintable(expected));
    std::printf("time to drain (Scan Now to scan-finished, every total shown): %.3f s\n",
                static_cast<double>(drained) / 1e9);
    std::printf("worst event-loop stall: %.1f ms\n", static_cast<double>(worstStall) / 1e6);
    return page.cleanedSpaceLabel()->text() == expected && received == files ? 0 : 2;
}
