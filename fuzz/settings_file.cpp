// The settings file loader. Whatever the file holds: loading neither crashes nor
// leaks; a file it cannot read is kept byte for byte beside it (".bad"); and what
// was loaded, saved and loaded again, gives the same values without a complaint.
#include "CSettings.h"
#include "FuzzInput.h"
#include "OleDate.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

namespace {

using MW::CSettings;

// Every persisted field, in the order of the file.
auto valuesOf(const CSettings& s) {
    return std::make_tuple(s.getScanFolder(), s.getFileTypes(), s.getOtherFileTypes(),
                           s.getStartTime(), s.getDeleteAge(), s.getLastScan(), s.getCleanedSpace(),
                           s.getContactName(), s.getContactEmail(), s.getProxyServer(),
                           s.getProxyPort(), s.getProxyUsage(), s.getProxySysUsage(),
                           s.getProxySysServer(), s.getProxySysBypass(), s.getProxySysAccessType());
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

CSettings* freshlyLoaded(const std::string& path) {
    CSettings::destroyInstance();
    CSettings* settings = CSettings::getInstance();
    settings->loadFromFile(path);
    return settings;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A new record's start time is taken from the clock: a fixed clock keeps the
    // files it saves, and so a run with a fixed seed, the same every time.
    MW::Clock::setNowForTesting([] { return std::int64_t{1'000'000'000}; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = MW::Fuzz::scratchDirectory() + "/settings.mwk";
    static const std::string badCopy = path + ".bad";
    const std::string_view input = MW::Fuzz::asText(data, size);
    std::filesystem::remove(badCopy);
    MW::Fuzz::writeFile(path, input);

    CSettings* settings = freshlyLoaded(path);
    if (std::filesystem::exists(badCopy) && readAll(badCopy) != input)
        MW::Fuzz::fail("the copy of a damaged file differs from the file");
    const auto loaded = valuesOf(*settings);
    // A value the file cannot hold is refused rather than written.
    if (settings->saveToFile())
        return 0;

    std::filesystem::remove(badCopy);
    settings = freshlyLoaded(path);
    if (std::filesystem::exists(badCopy))
        MW::Fuzz::fail("a file the loader saved itself reads as damaged");
    if (valuesOf(*settings) != loaded)
        MW::Fuzz::fail("saving and loading again changed a value");
    CSettings::destroyInstance();
    return 0;
}
