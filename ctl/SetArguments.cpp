#include "SetArguments.h"

#include "Format.h"

#include <QDir>
#include <QFileInfo>

namespace MW::Ctl {
namespace {

// The configurator's check boxes, in the order their items appear in FileTypes.
const QStringList kKnownTypes = {".bak", ".dwl", ".dwl2", ".ac$", ".sv$",
                                 ".bpn", ".rvt", ".rfa",  ".skb", ".fzb"};

const QStringList kNames = {"folder", "types", "other-types", "age", "time"};

QString typeItem(QString word) {
    word = word.trimmed().toLower();
    // The boxes of the two CAD backups read "*.0*.rvt" and "*.0*.rfa".
    if (word.startsWith(QLatin1String("*.0*")))
        word = word.mid(4);
    if (!word.startsWith(QLatin1Char('.')))
        word.prepend(QLatin1Char('.'));
    return word;
}

} // namespace

std::optional<QString> normaliseFileTypes(const QString& list, QString* unknown) {
    QList<bool> chosen(kKnownTypes.size(), false);
    for (const QString& word : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (word.trimmed().isEmpty())
            continue;
        const qsizetype index = kKnownTypes.indexOf(typeItem(word));
        if (index < 0) {
            if (unknown)
                *unknown = word.trimmed();
            return std::nullopt;
        }
        chosen[index] = true;
    }
    QStringList items;
    for (qsizetype i = 0; i < kKnownTypes.size(); ++i)
        if (chosen[i])
            items << kKnownTypes[i];
    return items.join(QLatin1Char(','));
}

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
            QString unknown;
            if (auto types = normaliseFileTypes(value, &unknown))
                changes.fileTypes = *types;
            else
                result.errors << QStringLiteral("unknown type \"%1\" (known: %2)")
                                     .arg(unknown, kKnownTypes.join(QLatin1Char(',')));
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
