// mwctl: the command-line client of mwservice, for servers and scripts.

#include "CommandLine.h"
#include "Commands.h"
#include "CtlLink.h"
#include "Output.h"

#include <QCoreApplication>
#include <QJsonObject>

namespace {

int runCommand(const MW::Ctl::SCommandLine& line) {
    using namespace MW::Ctl;
    const QString& c = line.command;
    if (c == QLatin1String("status"))
        return runStatus(line);
    if (c == QLatin1String("set"))
        return runSet(line);
    if (c == QLatin1String("scan"))
        return runScan(line);
    if (c == QLatin1String("undeleted"))
        return runUndeleted(line);
    if (c == QLatin1String("reset-count"))
        return runResetCount(line);
    return runPreview(line);
}

void reportError(const MW::Ctl::SCommandLine& line, const QString& message, const QString& name) {
    MW::Ctl::printError(message);
    if (line.json) {
        QJsonObject error{{"message", message}};
        if (!name.isEmpty())
            error.insert("name", name);
        MW::Ctl::printJson({{"error", error}});
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mwctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MW_VERSION));
    using namespace MW::Ctl;

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const SCommandLine line = parseCommandLine(arguments);
    if (line.help) {
        printLine(usage().trimmed());
        return kExitOk;
    }
    if (line.version) {
        printLine(QStringLiteral("mwctl " MW_VERSION));
        return kExitOk;
    }
    if (!line.error.isEmpty()) {
        reportError(line, line.error + QStringLiteral(" (mwctl --help lists the commands)"), {});
        return kExitError;
    }
    try {
        return runCommand(line);
    } catch (const CCtlError& e) {
        reportError(line, QString::fromStdString(e.what()), e.name());
        return e.exitStatus();
    } catch (const std::exception& e) {
        reportError(line, QString::fromStdString(e.what()), {});
    }
    return kExitError;
}
