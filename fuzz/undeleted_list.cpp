// The reader of the list of files a scan could not delete (the service's
// undeleted.tmp, one ISO 8859-1 path a line). Whatever the file holds: no crash,
// every entry one non-empty line without its line end, in the list's order.
#include "FuzzInput.h"
#include "UndeletedList.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MW::Fuzz::CMemoryFile file;
    file.assign(MW::Fuzz::asText(data, size));
    const QStringList entries = MW::readUndeletedList(QString::fromStdString(file.path()));

    qsizetype characters = 0;
    for (const QString& entry : entries) {
        if (entry.isEmpty() || entry.contains(QLatin1Char('\n')))
            MW::Fuzz::fail("an entry is empty or holds a line end");
        characters += entry.size();
    }
    // One byte is one character: the entries cannot hold more than the file.
    if (static_cast<std::size_t>(characters) > size)
        MW::Fuzz::fail("more characters than bytes");
    if (!std::is_sorted(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        }))
        MW::Fuzz::fail("the entries are not in case-insensitive order");
    return 0;
}
