#pragma once

#include <string>

namespace MW::Test {

// Whether the contract (org.morrowick.xml) says the Config object's properties
// send PropertiesChanged; empty when they do, else why the test is skipped.
std::string configChangesNotAnnounced(const std::string& contractFile);

} // namespace MW::Test
