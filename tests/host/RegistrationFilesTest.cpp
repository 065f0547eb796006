#include "RegistrationFiles.h"

#include <gtest/gtest.h>

namespace MW::Host {
namespace {

TEST(RegistrationFiles, ProgramPathsAreQuotedForEachReader) {
    EXPECT_EQ(busExecWord("/usr/bin/mwservice"), "\"/usr/bin/mwservice\"");
    // The bus file reader halves backslashes, then the command line splitter
    // takes \" and \\ inside the quotes.
    EXPECT_EQ(busExecWord("/a b/\"q\"/$x/'s'/back\\slash/50%"),
              "\"/a b/\\\\\"q\\\\\"/$x/'s'/back\\\\\\\\slash/50%\"");
    EXPECT_EQ(systemdExecWord("/a b/$x/(s)/50%"), "\"/a b/$x/(s)/50%%\"");
    EXPECT_FALSE(systemdExecWord("/a\"b/mwservice"));
    EXPECT_FALSE(systemdExecWord("/a'b/mwservice"));
    EXPECT_FALSE(systemdExecWord("/a\\b/mwservice"));
    // Paths no Exec line can carry.
    for (const char* bad : {"", "relative/mwservice", "/line\nbreak", "/tab\there"}) {
        EXPECT_FALSE(busExecWord(bad)) << bad;
        EXPECT_FALSE(systemdExecWord(bad)) << bad;
    }
}

} // namespace
} // namespace MW::Host
