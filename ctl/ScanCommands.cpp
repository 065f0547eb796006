// scan and preview: the two commands that walk the folder in the service.

#include "CScanWatcher.h"
#include "Commands.h"
#include "CtlLink.h"
#include "Format.h"
#include "Output.h"
#include "Preview.h"
#include "PreviewFile.h"

#include <QDBusMessage>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <functional>
#include <unistd.h>

namespace MW::Ctl {
namespace {

// A preview walks the whole tree before it answers; the bus's default of 25 s is
// too short for a large file server.
constexpr int kPreviewTimeoutMs = 60 * 60 * 1000;

const QString kRead = QStringLiteral("cannot read the service's state");

int requestScan(const SCommandLine& line, CServiceLink& link) {
    const int state = attempt(kRead, [&] { return link.ActivityState(); });
    attempt(QStringLiteral("the service refused to start a scan"), [&] { link.scanNow(); });
    // A request during a scan is dropped by the service.
    const bool running = state == 1;
    if (line.json)
        printJson({{"requested", !running}, {"running", running}});
    else
        printLine(running ? QStringLiteral("A scan is running already; the request was dropped.")
                          : QStringLiteral("Scan requested."));
    return kExitOk;
}

} // namespace

int runScan(const SCommandLine& line) {
    CServiceLink link(line.bus);
    connectService(link, line.bus);
    requireChange(link);
    if (!line.wait)
        return requestScan(line, link);

    const auto display = line.json                 ? CScanWatcher::EDisplay::Quiet
                         : ::isatty(STDOUT_FILENO) ? CScanWatcher::EDisplay::Terminal
                                                   : CScanWatcher::EDisplay::Lines;
    CScanWatcher watcher(link, display);
    if (!watcher.run())
        throw CCtlError(QStringLiteral("the service stopped before the scan finished"));

    const int left = attempt(kRead, [&] { return link.UndeletedCount(); });
    const QString list = attempt(kRead, [&] { return link.UndeletedLog(); });
    if (line.json) {
        printJson({{"freedBytes", static_cast<double>(watcher.freedBytes())},
                   {"freedMB", formatMegabytes(watcher.freedBytes())},
                   {"undeletedCount", left},
                   {"undeletedLog", list},
                   {"elapsedSeconds", watcher.elapsedSeconds()}});
    } else {
        printLine(QStringLiteral("Scan finished: %1 MB freed.")
                      .arg(formatMegabytes(watcher.freedBytes())));
        if (left > 0)
            printLine(QStringLiteral("%1 files could not be deleted; mwctl undeleted lists them.")
                          .arg(left));
    }
    return left > 0 ? kExitFilesLeft : kExitOk;
}

int runPreview(const SCommandLine& line) {
    CServiceLink link(line.bus);
    connectService(link, line.bus);
    requireChange(link);
    const QDBusMessage reply = attempt(QStringLiteral("the service refused the preview"), [&] {
        return link.callEngine(QString::fromLatin1(Bus::kPreviewInterface),
                               QStringLiteral("previewScan"), kPreviewTimeoutMs);
    });
    const QList<QVariant> args = reply.arguments();
    if (reply.signature() != QLatin1String("ututs"))
        throw CCtlError(QStringLiteral("the service answered the preview with (%1), not (ututs)")
                            .arg(reply.signature()));
    const uint toDelete = args[0].toUInt();
    const qulonglong bytesToDelete = args[1].toULongLong();
    const uint toKeep = args[2].toUInt();
    const qulonglong bytesToKeep = args[3].toULongLong();
    const QString path = args[4].toString();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CCtlError(QStringLiteral("the preview found %1 files to delete, but its list %2 "
                                       "cannot be read: %3")
                            .arg(toDelete)
                            .arg(path, file.errorString()));
    // The list may be long: it is read twice, the files to delete first, the
    // files a scan would leave after, and never held whole.
    const auto each = [&](bool deletes, const std::function<void(const SPreviewEntry&)>& use) {
        const bool read = forEachPreviewEntry(file, [&](const SPreviewEntry& e) {
            if ((e.action == QLatin1String("delete")) == deletes)
                use(e);
        });
        if (!read)
            throw CCtlError(
                QStringLiteral("cannot read the preview's list %1: %2").arg(path, file.errorString()));
    };

    if (line.json) {
        CJsonStream json;
        json.member(QStringLiteral("bytesToDelete"), static_cast<double>(bytesToDelete));
        json.member(QStringLiteral("bytesToKeep"), static_cast<double>(bytesToKeep));
        json.beginArray(QStringLiteral("delete"));
        each(true, [&](const SPreviewEntry& e) {
            json.item(QJsonObject{{"path", e.path}, {"size", static_cast<double>(e.size)}});
        });
        json.endArray();
        json.member(QStringLiteral("filesToDelete"), static_cast<double>(toDelete));
        json.member(QStringLiteral("filesToKeep"), static_cast<double>(toKeep));
        json.beginArray(QStringLiteral("keep"));
        each(false, [&](const SPreviewEntry& e) {
            json.item(QJsonObject{
                {"path", e.path}, {"reason", e.action}, {"size", static_cast<double>(e.size)}});
        });
        json.endArray();
        json.member(QStringLiteral("previewFile"), path);
        json.finish();
        return kExitOk;
    }
    const auto sizeColumn = [](quint64 size) {
        return QString::number(size).rightJustified(12) + QStringLiteral("  ");
    };
    each(true, [&](const SPreviewEntry& e) { printListLine(sizeColumn(e.size) + printable(e.path)); });
    printLine(QStringLiteral("Total: %1 files, %2 MB would be deleted.")
                  .arg(toDelete)
                  .arg(formatMegabytes(bytesToDelete)));
    if (toKeep > 0) {
        printLine(QString());
        printLine(QStringLiteral("A scan would have to leave these:"));
        each(false, [&](const SPreviewEntry& e) {
            printListLine(sizeColumn(e.size) + printable(e.path) + QStringLiteral("  (") +
                          e.action + QLatin1Char(')'));
        });
        printLine(QStringLiteral("Total: %1 files, %2 MB would be left.")
                      .arg(toKeep)
                      .arg(formatMegabytes(bytesToKeep)));
    }
    printLine(QStringLiteral("Nothing was deleted. The list is in %1.").arg(printable(path)));
    return kExitOk;
}

} // namespace MW::Ctl
