// The reader of the list of files a scan could not delete (the service's
// undeleted.tmp, one ISO 8859-1 path a line). Whatever the file holds: no crash,
// every entry one non-empty line without its line end, at most PATH_MAX bytes, in
// the list's order; a bounded read gives the first entries of the whole one and
// counts the rest.
#include "FuzzInput.h"
#include "Text.h"
#include "UndeletedList.h"

#include <algorithm>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MW::Fuzz::CMemoryFile file;
    file.assign(MW::Fuzz::asText(data, size));
    const std::vector<std::string> entries = MW::Client::ReadUndeletedList(file.path());

    std::size_t characters = 0;
    std::vector<std::string> latin1;
    for (const std::string& entry : entries) {
        if (entry.empty() || entry.find('\n') != std::string::npos)
            MW::Fuzz::fail("an entry is empty or holds a line end");
        // Back to the file's bytes: each character is one byte of ISO 8859-1.
        const std::u16string utf16 = MW::Common::utf8ToUtf16(entry);
        std::string bytes;
        for (const char16_t c : utf16) {
            if (c > 0xFF)
                MW::Fuzz::fail("a character beyond ISO 8859-1");
            bytes.push_back(static_cast<char>(c));
        }
        if (bytes.size() > MW::Client::kMaxUndeletedLineBytes)
            MW::Fuzz::fail("an entry longer than PATH_MAX");
        characters += bytes.size();
        latin1.push_back(std::move(bytes));
    }
    // One byte is one character: the entries cannot hold more than the file.
    if (characters > size)
        MW::Fuzz::fail("more characters than bytes");
    std::vector<std::string> sorted = latin1;
    MW::Client::SortUndeletedList(sorted);
    if (sorted != latin1)
        MW::Fuzz::fail("the entries are not in the list's order");

    const std::size_t cap = size % 5;
    const MW::Client::SUndeletedEntries bounded = MW::Client::ReadUndeletedEntries(file.path(), cap);
    const std::size_t kept = std::min(cap, entries.size());
    if (bounded.entries.size() != kept || bounded.more != entries.size() - kept ||
        !std::equal(bounded.entries.begin(), bounded.entries.end(), entries.begin()))
        MW::Fuzz::fail("a bounded read is not the first entries of the whole list");
    return 0;
}
