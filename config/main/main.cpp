// mwconfig: the Morrowick configurator.

#include "CMainDlg.h"
#include "ContactSender.h"
#include "CSingleInstance.h"
#include "CommandLine.h"
#include "ExitSignals.h"
#include "TabPictures.h"

#include <QApplication>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <cstdio>
#include <cstdlib>

namespace {

int run(int argc, char** argv) {
    // Read before the application exists, so that --help and --version work
    // where no display can be opened.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const MW::StartOptions options = MW::parseCommandLine(arguments);
    if (options.help) {
        std::fputs(qPrintable(MW::usageText()), stdout);
        return MW::eES_Normal;
    }
    if (options.version) {
        std::printf("mwconfig %s\n", MW_VERSION);
        return MW::eES_Normal;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mwconfig"));
    QApplication::setApplicationVersion(QStringLiteral(MW_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Morrowick"));
    // The window hides to the tray; only an explicit exit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    for (const QString& argument : options.unknown)
        std::fprintf(stderr, "mwconfig: ignoring unknown argument \"%s\" (see --help)\n",
                     qPrintable(argument));

    MW::CSingleInstance instance;
    if (instance.claim() == MW::CSingleInstance::EClaim::eC_Other)
        return MW::eES_Normal;

    MW::CMainDlg dialog;
    QObject::connect(&instance, &MW::CSingleInstance::showRequested, &dialog, &MW::CMainDlg::Show);
    QObject::connect(&dialog, &MW::CMainDlg::exitRequested, &app, &QCoreApplication::exit);
    MW::ExitSignals exitSignals;
    QObject::connect(&exitSignals, &MW::ExitSignals::closeRequested, &dialog,
                     &MW::CMainDlg::OnCloseRequest);
    // The session manager asks for the data at log-out, which may still be
    // cancelled, and at checkpoints: a save, not the end. The session's real
    // end quits the event loop (or sends SIGTERM).
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &dialog,
                     [&dialog](QSessionManager&) { dialog.OnCommitData(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &dialog, [&dialog] {
        if (!dialog.exitStatus())
            dialog.OnEndSession();
    });

    if (!dialog.OnInitDialog() || dialog.exitStatus())
        return dialog.exitStatus().value_or(MW::eES_Normal);
    if (!options.screenshotDir.isEmpty())
        return MW::saveScreenshots(dialog, options.screenshotDir);
    // Without a tray the window is the only way in, so "/hide" cannot apply.
    if (!options.hide || !dialog.hasTray())
        dialog.Show();
    const int loopStatus = QApplication::exec();
    const int status = dialog.exitStatus().value_or(loopStatus);
    // A support message still under way cannot be stopped mid-call, and its
    // thread would go on using the TLS library while the process takes it down.
    // Everything is saved by now: end at once, with the status.
    if (MW::ContactSender::requestsInFlight() > 0) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    return run(argc, argv);
}
