// mwservice's command line: the registration verbs and the run options. Input:
// the arguments, separated by NUL bytes (which no argument can hold).
#include "CommandLine.h"
#include "FuzzInput.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = MW::Fuzz::asText(data, size);
    const auto result = MW::Host::parseCommandLine(MW::Fuzz::split(input, '\0'));
    if (result.options.noAuth && result.options.authGroup && result.error.empty())
        MW::Fuzz::fail("--no-auth and --auth-group taken together");
    if (!result.options.root.empty() && result.options.root[0] != '/' && result.error.empty())
        MW::Fuzz::fail("a relative --root taken");
    // The verb search alone, over the whole input as one line.
    const MW::Host::EVerb verb = MW::Host::findVerb(input);
    if (verb != MW::Host::EVerb::eV_None && std::strlen(MW::Host::verbName(verb)) == 0)
        MW::Fuzz::fail("a verb without a name");
    return 0;
}
