// status, set, undeleted and reset-count: reads and writes of the engine's and
// the Config object's properties.

#include "Commands.h"
#include "CtlLink.h"
#include "Format.h"
#include "Output.h"
#include "QtValues.h"
#include "SetArguments.h"
#include "UndeletedList.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <cstdio>
#include <functional>

namespace MW::Ctl {
namespace {

const QString kRead = QStringLiteral("cannot read the service's state");

QString label(const char* name) {
    return QString::fromLatin1(name).leftJustified(16);
}

int statusNotRunning(const SCommandLine& line, const SServiceLocation& where) {
    const QString state =
        !where.connected && line.bus != EBusChoice::Auto
            ? QStringLiteral("not running (the %1 bus cannot be reached)").arg(where.busName)
        : where.found
            ? QStringLiteral("not running (started on demand on the %1 bus)").arg(where.busName)
            : QStringLiteral("not running (not registered on %1)")
                  .arg(line.bus == EBusChoice::Auto
                           ? QStringLiteral("the session bus or the system bus")
                           : QStringLiteral("the %1 bus").arg(where.busName));
    if (line.json) {
        QJsonObject doc{{"running", false}, {"registered", where.found}};
        if (where.found)
            doc.insert("bus", where.busName);
        printJson(doc);
    } else {
        printLine(label("Service:") + state);
    }
    return kExitOk;
}

} // namespace

int runStatus(const SCommandLine& line) {
    CServiceLink link(line.bus);
    const SServiceLocation where = link.locate();
    if (!where.running)
        return statusNotRunning(line, where);
    connectService(link, line.bus);
    const auto config = attempt(kRead, [&] { return link.Config(); });
    const int state = attempt(kRead, [&] { return link.ActivityState(); });
    const QString folder = attempt(kRead, [&] { return config->ScanFolder(); });
    const QString types = attempt(kRead, [&] { return config->FileTypes(); });
    const QString others = attempt(kRead, [&] { return config->OtherFileTypes(); });
    const int age = attempt(kRead, [&] { return config->DeleteAge(); });
    const double start = attempt(kRead, [&] { return config->StartTime(); });
    const QString lastScan = attempt(kRead, [&] { return config->LastScan(); });
    const quint64 cleaned = attempt(kRead, [&] { return config->CleanedSpace(); });
    const int undeleted = attempt(kRead, [&] { return link.UndeletedCount(); });
    const QString list = attempt(kRead, [&] { return link.UndeletedLog(); });

    // The cleaner keeps StartTime at the next due moment.
    const QDateTime due = Link::fromOleDate(start);
    const QString timeOfDay = due.time().toString(QStringLiteral("HH:mm"));
    const QString next = due.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const QString stateWord = state == 1 ? QStringLiteral("scanning") : QStringLiteral("idle");
    if (line.json) {
        printJson({{"running", true},
                   {"registered", true},
                   {"state", stateWord},
                   {"bus", where.busName},
                   {"folder", folder},
                   {"fileTypes", types},
                   {"otherFileTypes", others},
                   {"age", ageWord(age)},
                   {"deleteAge", age},
                   {"startTime", timeOfDay},
                   {"nextScan", due.toString(Qt::ISODate)},
                   {"lastScan", lastScan},
                   {"cleanedSpace", static_cast<double>(cleaned)},
                   {"cleanedSpaceMB", formatMegabytes(cleaned)},
                   {"undeletedCount", undeleted},
                   {"undeletedLog", list}});
        return kExitOk;
    }
    printLine(label("Service:") +
              QStringLiteral("running, %1 (%2 bus)").arg(stateWord, where.busName));
    printLine(label("Folder:") + printable(folder));
    printLine(label("Types:") + printable(types));
    printLine(label("Other types:") + printable(others));
    printLine(label("Age:") + ageWord(age));
    printLine(label("Start time:") + QStringLiteral("%1 (next scan %2)").arg(timeOfDay, next));
    printLine(label("Last scan:") +
              (lastScan.isEmpty() ? QStringLiteral("never") : printable(lastScan)));
    printLine(label("Cleaned space:") + formatMegabytes(cleaned) + QStringLiteral(" MB"));
    printLine(label("Undeleted:") + QStringLiteral("%1 (%2)").arg(undeleted).arg(printable(list)));
    return kExitOk;
}

int runSet(const SCommandLine& line) {
    const SSetParse parsed = parseSetArguments(line.args, QDir::currentPath());
    if (!parsed.errors.isEmpty()) {
        // Every mistake at once, and nothing written.
        for (qsizetype i = 1; i < parsed.errors.size(); ++i)
            printError(parsed.errors[i]);
        throw CCtlError(parsed.errors.front() + QStringLiteral("; nothing was changed"));
    }
    for (const QString& warning : parsed.warnings)
        printError(QStringLiteral("warning: ") + warning);

    CServiceLink link(line.bus);
    connectService(link, line.bus);
    requireChange(link);
    const auto config = attempt(kRead, [&] { return link.Config(); });
    const SSettingChanges& c = parsed.changes;
    const auto refused = [](const char* name) {
        return QStringLiteral("the service refused to change %1").arg(QLatin1String(name));
    };
    QStringList changed;
    if (c.folder) {
        attempt(refused("folder"), [&] { config->setScanFolder(*c.folder); });
        changed << QStringLiteral("folder");
    }
    if (c.fileTypes) {
        attempt(refused("types"), [&] { config->setFileTypes(*c.fileTypes); });
        changed << QStringLiteral("types");
    }
    if (c.otherTypes) {
        attempt(refused("other-types"), [&] { config->setOtherFileTypes(*c.otherTypes); });
        changed << QStringLiteral("other-types");
    }
    if (c.deleteAge) {
        attempt(refused("age"), [&] { config->setDeleteAge(*c.deleteAge); });
        changed << QStringLiteral("age");
    }
    if (c.startTime) {
        // Any day will do: the service keeps the time of day and computes the due date.
        const double start = Link::toOleDate(QDateTime(QDate::currentDate(), *c.startTime));
        attempt(refused("time"), [&] { config->setStartTime(start); });
        changed << QStringLiteral("time");
    }
    if (line.json)
        printJson({{"changed", QJsonArray::fromStringList(changed)}});
    else
        printLine(QStringLiteral("Changed: %1.").arg(changed.join(QLatin1String(", "))));
    return kExitOk;
}

int runUndeleted(const SCommandLine& line) {
    CServiceLink link(line.bus);
    connectService(link, line.bus);
    const int count = attempt(kRead, [&] { return link.UndeletedCount(); });
    const QString path = attempt(kRead, [&] { return link.UndeletedLog(); });
    // The list may be long: each line goes out as it is read.
    QFile list(path);
    if (list.exists() && !list.open(QIODevice::ReadOnly))
        throw CCtlError(QStringLiteral("cannot read the list %1: %2").arg(path, list.errorString()));
    list.close();
    const std::string listPath = Link::toUtf8(path);
    // The service writes one path per line, one byte per character.
    const auto eachFile = [&](const std::function<void(const QString&)>& file) {
        if (list.exists() &&
            !Client::ForEachUndeletedLine(listPath, [&](std::string_view latin1) {
                file(QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size())));
            }))
            throw CCtlError(QStringLiteral("cannot read the list %1").arg(path));
    };
    if (line.json) {
        CJsonStream json;
        json.member(QStringLiteral("count"), count);
        json.beginArray(QStringLiteral("files"));
        eachFile([&](const QString& file) { json.item(file); });
        json.endArray();
        json.member(QStringLiteral("path"), path);
        json.finish();
        return kExitOk;
    }
    eachFile([](const QString& file) { printListLine(printable(file)); });
    std::fflush(stdout);
    return kExitOk;
}

int runResetCount(const SCommandLine& line) {
    CServiceLink link(line.bus);
    connectService(link, line.bus);
    requireChange(link);
    const auto config = attempt(kRead, [&] { return link.Config(); });
    attempt(QStringLiteral("the service refused to reset the count"),
            [&] { config->setCleanedSpace(0); });
    if (line.json)
        printJson({{"cleanedSpace", 0}, {"cleanedSpaceMB", formatMegabytes(0)}});
    else
        printLine(QStringLiteral("Cleaned space reset to %1 MB.").arg(formatMegabytes(0)));
    return kExitOk;
}

} // namespace MW::Ctl
