#pragma once
// The dry run of the scan pass (org.morrowick.Preview.xml beside this file): its
// bus names, its result and the engine side the bus adaptor calls.

#include <cstdint>
#include <string>

namespace MW {

namespace Bus {
inline constexpr const char* kPreviewInterface = "org.morrowick.Preview";
inline constexpr const char* kErrorScanRunning = "org.morrowick.Error.ScanRunning";
inline constexpr const char* kErrorPreviewRunning = "org.morrowick.Error.PreviewRunning";
} // namespace Bus

// What a preview found: the files the next scan would delete, those it would have
// to leave, and the file that lists both.
struct SPreviewTotals {
    std::uint32_t filesToDelete = 0;
    std::uint64_t bytesToDelete = 0;
    std::uint32_t filesToKeep = 0;
    std::uint64_t bytesToKeep = 0;
    std::string file;
};

class IPreviewer {
public:
    virtual ~IPreviewer() = default;
    // Whether a scan cycle runs (a preview is then refused).
    virtual bool isBusy() const = 0;
    // Runs a whole preview on the calling thread. Throws CContractError with
    // Bus::kErrorScanRunning or Bus::kErrorPreviewRunning when it cannot start.
    virtual SPreviewTotals preview() = 0;
};

} // namespace MW
