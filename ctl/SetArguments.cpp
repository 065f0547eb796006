#include "SetArguments.h"

#include "FileTypes.h"
#include "Format.h"

#include <QDir>
#include <QFileInfo>

namespace MW::Ctl {
namespace {

const QStringList kNames = {"folder", "types", "other-types", "age", "time"};

// The configurator's items, in the order of its boxes.
QString knownTypes() {
    QStringList items;
    for (const Client::SFileTypeBox& box : Client::FileTypeBoxes())
        items << QLatin1String(box.item);
    return items.join(QLatin1Char(','));
}

} // namespace

SSetParse parseSetArguments(const QStringList& args, const QString& workingDir) {
    SSetParse result;
    SSettingChanges& changes = result.changes;
    for (const QString& arg : args) {
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            result.errors << QStringLiteral("\"%1\" is not NAME=VALUE").arg(arg);
            continue;
        }
        const QString name = arg.left(eq);
        const QString value = arg.mid(eq + 1);
        if (!kNames.contains(name)) {
            result.errors << QStringLiteral("unknown setting \"%1\" (known: %2)")
                                 .arg(name, kNames.join(QLatin1String(", ")));
            continue;
        }
        if (changes.names.contains(name)) {
            result.errors << QStringLiteral("%1 is given twice").arg(name);
            continue;
        }
        changes.names << name;

        if (name == QLatin1String("folder")) {
            if (value.isEmpty()) {
                result.errors << QStringLiteral("folder is empty");
                continue;
            }
            const QFileInfo info(QDir(workingDir), value);
            if (!info.exists())
                result.errors << QStringLiteral("folder %1 does not exist").arg(value);
            else if (!info.isDir())
                result.errors << QStringLiteral("folder %1 is not a folder").arg(value);
            else
                changes.folder = QDir::cleanPath(info.absoluteFilePath());
        } else if (name == QLatin1String("types")) {
            std::string unknown;
            if (auto types = Client::NormaliseFileTypes(value.toStdString(), &unknown))
                changes.fileTypes = QString::fromStdString(*types);
            else
                result.errors << QStringLiteral("unknown type \"%1\" (known: %2)")
                                     .arg(QString::fromStdString(unknown), knownTypes());
        } else if (name == QLatin1String("other-types")) {
            if (value.contains(QLatin1Char('\n')) || value.contains(QChar(0))) {
                result.errors << QStringLiteral("other-types must be one line");
                continue;
            }
            changes.otherTypes = value;
            // The service searches the text for ".ext"; an item without its dot
            // never matches.
            for (const QString& item : value.split(QLatin1Char(','), Qt::SkipEmptyParts))
                if (!item.trimmed().isEmpty() && !item.contains(QLatin1Char('.')))
                    result.warnings << QStringLiteral("other-types item \"%1\" has no dot and "
                                                      "matches no file; write .%1")
                                           .arg(item.trimmed());
        } else if (name == QLatin1String("age")) {
            if (auto age = parseAgeWord(value))
                changes.deleteAge = *age;
            else
                result.errors << QStringLiteral("unknown age \"%1\" (known: day, week, month, "
                                                "3months, 6months, year)")
                                     .arg(value);
        } else if (auto time = parseTimeOfDay(value)) {
            changes.startTime = *time;
        } else {
            result.errors << QStringLiteral("time \"%1\" is not a time of day HH:MM (00:00 to "
                                            "23:59)")
                                 .arg(value);
        }
    }
    return result;
}

} // namespace MW::Ctl
