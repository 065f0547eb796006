#pragma once
// The name=value pairs of `mwctl set`, checked before anything is sent.

#include <QString>
#include <QStringList>
#include <QTime>
#include <optional>

namespace MW::Ctl {

struct SSettingChanges {
    std::optional<QString> folder;     // absolute path of an existing folder
    std::optional<QString> fileTypes;  // in the configurator's order and form
    std::optional<QString> otherTypes; // as typed
    std::optional<int> deleteAge;      // 0 to 5
    std::optional<QTime> startTime;    // time of day
    QStringList names;                 // the names given, in the order given
};

struct SSetParse {
    SSettingChanges changes;
    QStringList errors;   // one line each; nothing may be written when not empty
    QStringList warnings; // accepted, but probably not what was meant
};

// `workingDir` makes a relative folder absolute: the service does not share our
// working folder. Type words become the configurator's FileTypes text
// (Client::NormaliseFileTypes).
SSetParse parseSetArguments(const QStringList& args, const QString& workingDir);

} // namespace MW::Ctl
