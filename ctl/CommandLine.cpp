#include "CommandLine.h"

namespace MW::Ctl {
namespace {

const QStringList kCommands = {"status", "set", "scan", "undeleted", "reset-count", "preview"};

} // namespace

SCommandLine parseCommandLine(const QStringList& arguments) {
    SCommandLine line;
    bool optionsEnded = false;
    bool busGiven = false;
    for (const QString& arg : arguments) {
        if (!optionsEnded && arg.startsWith(QLatin1String("-"))) {
            if (arg == QLatin1String("--")) {
                optionsEnded = true;
            } else if (arg == QLatin1String("--user") || arg == QLatin1String("--system")) {
                const EBusChoice bus =
                    arg == QLatin1String("--user") ? EBusChoice::User : EBusChoice::System;
                if (busGiven && bus != line.bus)
                    line.error = QStringLiteral("--user and --system exclude each other");
                line.bus = bus;
                busGiven = true;
            } else if (arg == QLatin1String("--json")) {
                line.json = true;
            } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
                line.help = true;
            } else if (arg == QLatin1String("--version")) {
                line.version = true;
            } else if (arg == QLatin1String("--wait")) {
                line.wait = true;
            } else if (line.error.isEmpty()) {
                line.error = QStringLiteral("unknown option %1").arg(arg);
            }
            continue;
        }
        if (line.command.isEmpty())
            line.command = arg;
        else
            line.args << arg;
    }
    if (!line.error.isEmpty() || line.help || line.version)
        return line;
    if (line.command.isEmpty())
        line.error = QStringLiteral("no command given");
    else if (!kCommands.contains(line.command))
        line.error = QStringLiteral("unknown command %1").arg(line.command);
    else if (line.wait && line.command != QLatin1String("scan"))
        line.error = QStringLiteral("--wait belongs to scan");
    else if (line.command == QLatin1String("set") && line.args.isEmpty())
        line.error = QStringLiteral("set needs at least one name=value");
    else if (line.command != QLatin1String("set") && !line.args.isEmpty())
        line.error = QStringLiteral("%1 takes no arguments").arg(line.command);
    return line;
}

QString usage() {
    return QStringLiteral(
        "Usage: mwctl [--user|--system] [--json] COMMAND [ARGUMENTS]\n"
        "\n"
        "Controls mwservice, the Morrowick cleaning service.\n"
        "\n"
        "Commands:\n"
        "  status                 the service's state and settings\n"
        "  set NAME=VALUE...      change settings; names:\n"
        "                           folder=DIR\n"
        "                           types=.bak,.dwl,.dwl2,.ac$,.sv$,.bpn,.rvt,.rfa,.skb,.fzb\n"
        "                           other-types=TEXT\n"
        "                           age=day|week|month|3months|6months|year\n"
        "                           time=HH:MM\n"
        "  scan [--wait]          start a scan; --wait follows it to the end\n"
        "  undeleted              the files the last scan could not delete\n"
        "  reset-count            set the cleaned-space total to zero\n"
        "  preview                what a scan would delete now; deletes nothing\n"
        "\n"
        "Options:\n"
        "  --user                 the service on the session bus only\n"
        "  --system               the service on the system bus only\n"
        "                         (default: the session bus first, then the system bus)\n"
        "  --json                 one JSON document per command\n"
        "  --help                 this text\n"
        "  --version              the version\n"
        "\n"
        "Exit status: 0 success; 1 error; 3 scan --wait left files undeleted;\n"
        "4 not allowed to change the service (not root, not in its group).\n");
}

} // namespace MW::Ctl
