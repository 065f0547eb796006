#include "CommandLine.h"

namespace MW {

StartOptions parseCommandLine(const QStringList& arguments) {
    StartOptions options;
    options.hide = arguments.join(QLatin1Char(' ')).contains(QLatin1String("/hide"));
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--hide"))
            options.hide = true;
        else if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            options.help = true;
        else if (argument == QLatin1String("--version"))
            options.version = true;
        else if (argument.startsWith(QLatin1String("--screenshots=")))
            options.screenshotDir = argument.mid(14);
        else if (!argument.contains(QLatin1String("/hide")))
            options.unknown << argument;
    }
    return options;
}

QString usageText() {
    return QStringLiteral(
        "Usage: mwconfig [/hide | --hide] [--help] [--version]\n"
        "\n"
        "The Morrowick configurator: shows and changes the settings of the Morrowick\n"
        "cleaning service (mwservice) and lives in the system tray.\n"
        "\n"
        "  /hide, --hide  start in the tray without showing the window (the window is\n"
        "                 shown anyway when the desktop has no tray)\n"
        "  --help         show this text and end\n"
        "  --version      show the version and end\n"
        "  --screenshots=DIR\n"
        "                 save a picture of each tab and of the proxy dialog into\n"
        "                 DIR, then end\n"
        "\n"
        "A second start shows the window of the one already running and ends.\n"
        "Exit status: 0 normal end or another instance runs, 255 Exit from the tray\n"
        "menu or the end of the desktop session, 254 the service cannot be reached,\n"
        "253 ended by SIGTERM or SIGINT (the settings are saved first), 1 ended\n"
        "without the settings saved (the service did not answer within 10 s).\n");
}

} // namespace MW
