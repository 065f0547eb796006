#pragma once
// mwctl's command line: global options anywhere, one command and its arguments.

#include "BusChoice.h"

#include <QString>
#include <QStringList>

namespace MW::Ctl {

struct SCommandLine {
    EBusChoice bus = EBusChoice::Auto;
    bool json = false;
    bool help = false;
    bool version = false;
    bool wait = false; // scan --wait
    QString command;   // status, set, scan, undeleted, reset-count, preview
    QStringList args;  // what follows the command (set's name=value pairs)
    QString error;     // not empty: the line is unusable, and why
};

SCommandLine parseCommandLine(const QStringList& arguments);

QString usage();

} // namespace MW::Ctl
