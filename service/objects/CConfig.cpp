#include "CConfig.h"

#include "CSettings.h"
#include "Contract.h"
#include "Directory.h"
#include "OleDate.h"

#include <cmath>

namespace MW::Objects {

namespace {

CSettings& settings() {
    return *CSettings::getInstance();
}

// Text as stored: up to the first NUL, the way a C string ends; refused when longer
// than `limit` bytes.
std::string uptoNul(std::string_view value, std::size_t limit = kMaxTextLength) {
    value = value.substr(0, value.find('\0'));
    if (value.size() > limit)
        throw CContractError(Bus::kErrorInvalidArgs,
                             "The value is " + std::to_string(value.size()) +
                                 " bytes long; at most " + std::to_string(limit) + " are taken.");
    return std::string(value);
}

// Keeps client texts in error messages readable and short.
std::string quoted(const std::string& text) {
    constexpr std::size_t kShown = 60;
    std::string shown = text.size() > kShown ? text.substr(0, kShown) + "..." : text;
    return "\"" + shown + "\"";
}

[[noreturn]] void typeMismatch(const std::string& what) {
    throw CContractError(Bus::kErrorTypeMismatch, "Type mismatch: " + what);
}

} // namespace

std::size_t maxScanFolderLength() {
    // The platform's limit counts the terminating NUL.
    return Platform::maxPathLength() - 1;
}

std::string CConfig::getScanFolder() const {
    return settings().getScanFolder();
}
void CConfig::setScanFolder(std::string_view value) {
    settings().setScanFolder(uptoNul(value, maxScanFolderLength()));
}
std::string CConfig::getFileTypes() const {
    return settings().getFileTypes();
}
void CConfig::setFileTypes(std::string_view value) {
    settings().setFileTypes(uptoNul(value));
}
std::string CConfig::getOtherFileTypes() const {
    return settings().getOtherFileTypes();
}
void CConfig::setOtherFileTypes(std::string_view value) {
    settings().setOtherFileTypes(uptoNul(value));
}

double CConfig::getStartTime() const {
    return settings().getStartTime();
}

void CConfig::setStartTime(const StartTimeValue& value) {
    double date = 0;
    if (const double* asDate = std::get_if<double>(&value)) {
        date = *asDate;
    } else if (const std::string* asText = std::get_if<std::string>(&value)) {
        // Any length: a text that long is no date, and says so.
        const std::string text = uptoNul(*asText, std::string::npos);
        const auto parsed = OleDate::parse(text);
        if (!parsed)
            typeMismatch(quoted(text) + " is not a date.");
        date = *parsed;
    } else {
        typeMismatch("a start time is a date (d) or a date text (s), not " +
                     std::get<OtherValue>(value).type + ".");
    }
    // Outside this range (or not a number) the cleaner's date arithmetic has no
    // meaning, so such a value is refused like a wrong type.
    if (!OleDate::isInRange(date))
        typeMismatch("the date lies outside the years 100 to 9999.");
    settings().setStartTime(date);
}

std::int32_t CConfig::getDeleteAge() const {
    return settings().getDeleteAge();
}
void CConfig::setDeleteAge(std::int32_t value) {
    settings().setDeleteAge(value);
}
std::string CConfig::getLastScan() const {
    return settings().getLastScan();
}
void CConfig::setLastScan(std::string_view value) {
    settings().setLastScan(uptoNul(value));
}
std::uint64_t CConfig::getCleanedSpace() const {
    return settings().getCleanedSpace();
}
void CConfig::setCleanedSpace(std::uint64_t value) {
    settings().setCleanedSpace(value);
}
std::string CConfig::getContactName() const {
    return settings().getContactName();
}
void CConfig::setContactName(std::string_view value) {
    settings().setContactName(uptoNul(value));
}
std::string CConfig::getContactEmail() const {
    return settings().getContactEmail();
}
void CConfig::setContactEmail(std::string_view value) {
    settings().setContactEmail(uptoNul(value));
}
std::string CConfig::getProxyServer() const {
    return settings().getProxyServer();
}
void CConfig::setProxyServer(std::string_view value) {
    settings().setProxyServer(uptoNul(value));
}
std::string CConfig::getProxyPort() const {
    return settings().getProxyPort();
}
void CConfig::setProxyPort(std::string_view value) {
    settings().setProxyPort(uptoNul(value));
}
std::int32_t CConfig::getProxyUsage() const {
    return settings().getProxyUsage() ? 1 : 0;
}
void CConfig::setProxyUsage(std::int32_t value) {
    settings().setProxyUsage(value != 0);
}
std::int32_t CConfig::getProxySysUsage() const {
    return settings().getProxySysUsage() ? 1 : 0;
}
void CConfig::setProxySysUsage(std::int32_t value) {
    settings().setProxySysUsage(value != 0);
}
std::string CConfig::getProxySysServer() const {
    return settings().getProxySysServer();
}
void CConfig::setProxySysServer(std::string_view value) {
    settings().setProxySysServer(uptoNul(value));
}
std::string CConfig::getProxySysBypass() const {
    return settings().getProxySysBypass();
}
void CConfig::setProxySysBypass(std::string_view value) {
    settings().setProxySysBypass(uptoNul(value));
}
std::uint32_t CConfig::getProxySysAccessType() const {
    return settings().getProxySysAccessType();
}
void CConfig::setProxySysAccessType(std::uint32_t value) {
    settings().setProxySysAccessType(value);
}

} // namespace MW::Objects
