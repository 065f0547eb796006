// mwctl's command line and the name=value pairs of `mwctl set`. Input: the
// arguments, separated by NUL bytes. Whatever `set` accepts is what the service
// can take: a known name at most once, an existing absolute folder, a FileTypes
// text in the configurator's own form, an age of 0 to 5, a valid time of day.
#include "CommandLine.h"
#include "FileTypes.h"
#include "FuzzInput.h"
#include "SetArguments.h"

#include <QDir>
#include <QFileInfo>

namespace {

// A working folder holding one folder, so that relative and absolute folders
// that exist can both be found.
const QString& workingDir() {
    static const QString dir = [] {
        const QString path = QString::fromStdString(MW::Fuzz::scratchDirectory());
        QDir(path).mkpath(QStringLiteral("drawings"));
        return path;
    }();
    return dir;
}

void checkAccepted(const MW::Ctl::SSettingChanges& changes) {
    for (qsizetype i = 0; i < changes.names.size(); ++i)
        if (changes.names.indexOf(changes.names[i], i + 1) >= 0)
            MW::Fuzz::fail("a name accepted twice");
    if (changes.folder &&
        !(QDir::isAbsolutePath(*changes.folder) && QFileInfo(*changes.folder).isDir()))
        MW::Fuzz::fail("folder accepted that is not an existing absolute folder");
    if (changes.fileTypes &&
        MW::Client::NormaliseFileTypes(changes.fileTypes->toStdString(), nullptr) !=
            changes.fileTypes->toStdString())
        MW::Fuzz::fail("types accepted in a form the configurator does not write");
    if (changes.deleteAge && (*changes.deleteAge < 0 || *changes.deleteAge > 5))
        MW::Fuzz::fail("age outside 0 to 5 accepted");
    if (changes.startTime && !changes.startTime->isValid())
        MW::Fuzz::fail("an invalid time accepted");
    if (changes.otherTypes &&
        (changes.otherTypes->contains(QLatin1Char('\n')) || changes.otherTypes->contains(QChar(0))))
        MW::Fuzz::fail("other-types of more than one line accepted");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QStringList args;
    for (const std::string& arg : MW::Fuzz::split(MW::Fuzz::asText(data, size), '\0'))
        args << QString::fromStdString(arg);

    const MW::Ctl::SCommandLine line = MW::Ctl::parseCommandLine(args);
    if (line.error.isEmpty() && !line.help && !line.version &&
        line.command == QLatin1String("set") && line.args.isEmpty())
        MW::Fuzz::fail("set accepted without a pair");
    // Every argument as a pair, also those the command line would have refused.
    const MW::Ctl::SSetParse parsed = MW::Ctl::parseSetArguments(args, workingDir());
    if (parsed.errors.isEmpty())
        checkAccepted(parsed.changes);
    return 0;
}
