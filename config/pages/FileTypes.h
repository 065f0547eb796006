#pragma once
// Pure conversions behind the Overview and Settings pages, kept free of widgets
// so they can be tested alone.

#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <array>

namespace MW {

// The ten file-type boxes of the Settings page, in the order of the FileTypes text.
struct FileTypeBox {
    const char* label; // what the box shows
    const char* item;  // what goes into the FileTypes text
};
inline constexpr std::size_t kFileTypeCount = 10;
using FileTypeFlags = std::array<bool, kFileTypeCount>;
const std::array<FileTypeBox, kFileTypeCount>& fileTypeBoxes();

namespace FileTypes {
// The items of the checked boxes in table order, separated by single commas.
QString build(const FileTypeFlags& checked);
// A flag is set when its item occurs anywhere in the text (case-sensitive), as the
// service itself tests types; so ".dwl2" also sets ".dwl".
FileTypeFlags parse(const QString& text);
} // namespace FileTypes

// Bytes as megabytes of 1 048 576 bytes, two decimals, a full stop, no grouping.
QString FormatMegabytes(quint64 bytes);

// The leading decimal number of a text after optional blanks and a sign, 0 when
// there is none (how a typed proxy port becomes a number).
int LeadingInteger(const QString& text);

// OLE Automation dates: days since 30 December 1899, the fraction being the time
// of day, in local time.
double toOleDate(const QDateTime& local);
QDateTime fromOleDate(double oleDate);
// Whether two OLE dates name the same moment to the millisecond (doubles that
// went through a picker and back differ in their last bits).
bool sameOleMoment(double a, double b);

} // namespace MW
