#pragma once

#include <QString>
#include <QStringList>

namespace MW {

struct StartOptions {
    bool hide = false;
    bool help = false;
    bool version = false;
    // "--screenshots=DIR": save a picture of each tab and of the proxy dialog
    // into DIR, then end (for documentation and support requests).
    QString screenshotDir;
    // Arguments the program does not know; reported, then ignored.
    QStringList unknown;
};

// The configurator's command line. "/hide" is looked for, case-sensitively, as
// a substring anywhere in the whole command line including the program path
// (so "/hidefoo" hides and "/HIDE" does not); "--hide" is accepted too.
StartOptions parseCommandLine(const QStringList& arguments);

QString usageText();

} // namespace MW
