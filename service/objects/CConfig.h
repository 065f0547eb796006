#pragma once
// The Config object: a stateless window onto the settings record. Each property
// reads or writes one field, reached anew on every call, so any two Config
// objects are interchangeable. No write saves the settings; only StartTime
// notifies (through CSettings::setStartTime, and only when it changes).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace MW::Objects {

// A value of a type StartTime does not take, described by its bus signature.
struct OtherValue {
    std::string type;
};
// What a client may pass as the start time: a date (OLE date), a text that is
// parsed as a date, or anything else (refused).
using StartTimeValue = std::variant<double, std::string, OtherValue>;

class CConfig {
public:
    CConfig() = default;

    // Strings are stored up to their first NUL; nothing is trimmed. A string longer
    // than its bound (kMaxScanFolderLength, kMaxTextLength) is refused with
    // CContractError(org.freedesktop.DBus.Error.InvalidArgs) and changes nothing.
    std::string getScanFolder() const;
    void setScanFolder(std::string_view value);
    std::string getFileTypes() const;
    void setFileTypes(std::string_view value);
    std::string getOtherFileTypes() const;
    void setOtherFileTypes(std::string_view value);
    double getStartTime() const;
    // Throws CContractError(org.morrowick.Error.TypeMismatch) and changes nothing
    // when the value is no usable date.
    void setStartTime(const StartTimeValue& value);
    std::int32_t getDeleteAge() const;
    void setDeleteAge(std::int32_t value);
    std::string getLastScan() const;
    void setLastScan(std::string_view value);
    std::uint64_t getCleanedSpace() const;
    void setCleanedSpace(std::uint64_t value);
    std::string getContactName() const;
    void setContactName(std::string_view value);
    std::string getContactEmail() const;
    void setContactEmail(std::string_view value);
    std::string getProxyServer() const;
    void setProxyServer(std::string_view value);
    std::string getProxyPort() const;
    void setProxyPort(std::string_view value);
    // 1 or 0; any nonzero write means "on".
    std::int32_t getProxyUsage() const;
    void setProxyUsage(std::int32_t value);
    std::int32_t getProxySysUsage() const;
    void setProxySysUsage(std::int32_t value);
    std::string getProxySysServer() const;
    void setProxySysServer(std::string_view value);
    std::string getProxySysBypass() const;
    void setProxySysBypass(std::string_view value);
    std::uint32_t getProxySysAccessType() const;
    void setProxySysAccessType(std::uint32_t value);
};

// The longest values the string properties take, in bytes: a folder the platform
// can name, and a generous bound for every other text, so that no client can make
// the service keep, save and load megabytes.
std::size_t maxScanFolderLength();
inline constexpr std::size_t kMaxTextLength = 64 * 1024;

} // namespace MW::Objects
