// The file types on both sides: the configurator's reading of FileTypes into its
// boxes and the service's name match. Input: the FileTypes text, a line feed, the
// OtherFileTypes text, then one path a line. The boxes read from a text are those
// of the text built from them, and a type whose box is shown checked is one the
// service deletes.
#include "CleaningRules.h"
#include "FileTypes.h"
#include "FuzzInput.h"
#include "Text.h"

namespace {

// The extension the service compares: from the last dot of the whole path.
std::string lastExtension(const std::string& path) {
    const auto dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : MW::Common::asciiLower(path.substr(dot));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> lines = MW::Fuzz::split(MW::Fuzz::asText(data, size), '\n');
    const std::string& fileTypes = lines[0];
    const std::string otherFileTypes = lines.size() > 1 ? lines[1] : std::string();

    const MW::Client::FileTypeFlags boxes = MW::Client::ApplyFileTypes(fileTypes);
    if (MW::Client::ApplyFileTypes(MW::Client::BuildFileTypes(boxes)) != boxes)
        MW::Fuzz::fail("the boxes of the built text differ from the boxes read");

    const std::string typeList = MW::Rules::prepareTypeList(fileTypes, otherFileTypes);
    const std::string otherList = MW::Rules::prepareOtherList(otherFileTypes);
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const std::string& path = lines[i];
        const auto match = MW::Rules::fileTest(path, typeList, otherList);
        if (match && *match != MW::Common::asciiLower(path))
            MW::Fuzz::fail("a match is not the lowered path");
        // The service deletes the types of the checked boxes: the numbered
        // backups only for .rvt and .rfa.
        const std::string extension = lastExtension(path);
        for (std::size_t box = 0; box < MW::Client::kFileTypeCount; ++box) {
            const std::string item = MW::Client::FileTypeBoxes()[box].item;
            if (!boxes[box] || extension != item)
                continue;
            const bool numbered = MW::Common::asciiLower(path).find(".0") != std::string::npos;
            if ((item == ".rvt" || item == ".rfa") && !numbered)
                continue;
            if (!match)
                MW::Fuzz::fail("a file of a checked type is not matched: " + path);
        }
    }
    return 0;
}
