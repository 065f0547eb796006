// scan and preview: the two commands that walk the folder in the service.

#include "CScanWatcher.h"
#include "CServiceLink.h"
#include "Commands.h"
#include "Format.h"
#include "MorrowickInterfaces.h"
#include "Output.h"
#include "PreviewFile.h"
#include "PreviewInterface.h"

#include <QFile>
#include <QJsonArray>
#include <unistd.h>

namespace MW::Ctl {
namespace {

// A preview walks the whole tree before it answers; the bus's default of 25 s is
// too short for a large file server.
constexpr int kPreviewTimeoutMs = 60 * 60 * 1000;

int requestScan(const SCommandLine& line, CServiceLink& link) {
    auto& engine = link.engine();
    const int state = checked(engine, QStringLiteral("cannot read the service's state"),
                              [&] { return engine.activityState(); });
    QDBusPendingReply<> reply = engine.scanNow();
    reply.waitForFinished();
    if (reply.isError())
        throw busError(QStringLiteral("the service refused to start a scan"), reply.error());
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
    link.requireChange();
    if (!line.wait)
        return requestScan(line, link);

    const auto display = line.json                 ? CScanWatcher::EDisplay::Quiet
                         : ::isatty(STDOUT_FILENO) ? CScanWatcher::EDisplay::Terminal
                                                   : CScanWatcher::EDisplay::Lines;
    CScanWatcher watcher(link, display);
    if (!watcher.run())
        throw CCtlError(QStringLiteral("the service stopped before the scan finished"));

    auto& engine = link.engine();
    const QString read = QStringLiteral("cannot read the service's state");
    const int left = checked(engine, read, [&] { return engine.undeletedCount(); });
    const QString list = checked(engine, read, [&] { return engine.undeletedLog(); });
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
    link.requireChange();
    auto& preview = link.preview();
    preview.setTimeout(kPreviewTimeoutMs);
    QDBusPendingReply<uint, qulonglong, uint, qulonglong, QString> reply = preview.previewScan();
    reply.waitForFinished();
    if (reply.isError())
        throw busError(QStringLiteral("the service refused the preview"), reply.error());
    const uint toDelete = reply.argumentAt<0>();
    const qulonglong bytesToDelete = reply.argumentAt<1>();
    const uint toKeep = reply.argumentAt<2>();
    const qulonglong bytesToKeep = reply.argumentAt<3>();
    const QString path = reply.argumentAt<4>();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CCtlError(QStringLiteral("the preview found %1 files to delete, but its list %2 "
                                       "cannot be read: %3")
                            .arg(toDelete)
                            .arg(path, file.errorString()));
    const QList<SPreviewEntry> entries = parsePreviewFile(file.readAll());

    if (line.json) {
        QJsonArray deleted, kept;
        for (const SPreviewEntry& e : entries) {
            QJsonObject item{{"path", e.path}, {"size", static_cast<double>(e.size)}};
            if (e.action == QLatin1String("delete")) {
                deleted.append(item);
            } else {
                item.insert("reason", e.action);
                kept.append(item);
            }
        }
        printJson({{"filesToDelete", static_cast<double>(toDelete)},
                   {"bytesToDelete", static_cast<double>(bytesToDelete)},
                   {"filesToKeep", static_cast<double>(toKeep)},
                   {"bytesToKeep", static_cast<double>(bytesToKeep)},
                   {"previewFile", path},
                   {"delete", deleted},
                   {"keep", kept}});
        return kExitOk;
    }
    const auto sizeColumn = [](quint64 size) {
        return QString::number(size).rightJustified(12) + QStringLiteral("  ");
    };
    for (const SPreviewEntry& e : entries)
        if (e.action == QLatin1String("delete"))
            printLine(sizeColumn(e.size) + printable(e.path));
    printLine(QStringLiteral("Total: %1 files, %2 MB would be deleted.")
                  .arg(toDelete)
                  .arg(formatMegabytes(bytesToDelete)));
    if (toKeep > 0) {
        printLine(QString());
        printLine(QStringLiteral("A scan would have to leave these:"));
        for (const SPreviewEntry& e : entries)
            if (e.action != QLatin1String("delete"))
                printLine(sizeColumn(e.size) + printable(e.path) + QStringLiteral("  (") +
                          e.action + QLatin1Char(')'));
        printLine(QStringLiteral("Total: %1 files, %2 MB would be left.")
                      .arg(toKeep)
                      .arg(formatMegabytes(bytesToKeep)));
    }
    printLine(QStringLiteral("Nothing was deleted. The list is in %1.").arg(printable(path)));
    return kExitOk;
}

} // namespace MW::Ctl
