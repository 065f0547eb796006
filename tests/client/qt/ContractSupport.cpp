#include "ContractSupport.h"

#include "TempDir.h"

namespace MW::Test {

std::string configChangesNotAnnounced(const std::string& contractFile) {
    const std::string xml = readFile(contractFile);
    const auto begin = xml.find("<interface name=\"org.morrowick.IConfig\">");
    if (begin == std::string::npos)
        return "the contract has no IConfig";
    const auto end = xml.find("</interface>", begin);
    const std::string iface = xml.substr(begin, end - begin);
    if (iface.find("EmitsChangedSignal\" value=\"false\"") != std::string::npos)
        return "the contract says the service does not announce Config changes yet "
               "(org.freedesktop.DBus.Property.EmitsChangedSignal false)";
    return {};
}

} // namespace MW::Test
