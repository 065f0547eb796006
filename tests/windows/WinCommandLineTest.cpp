// mwservice.exe's command line: the verb search is the one every platform uses
// (tests/host/CommandLineTest.cpp); here what the Windows line adds.

#include "WinCommandLine.h"

#include <gtest/gtest.h>

using MW::Host::argumentsOf;
using MW::Host::EVerb;
using MW::Host::parseWinCommandLine;

TEST(WinCommandLine, TheProgramsPathAndTheOptionsAreNeverTakenForVerbs) {
    // A folder named like a verb, quoted or not.
    EXPECT_EQ(argumentsOf(LR"("C:\x -Service\mwservice.exe" -RegServer)"), L" -RegServer");
    EXPECT_EQ(argumentsOf(LR"(C:\-Service\mwservice.exe)"), L"");
    EXPECT_EQ(parseWinCommandLine(argumentsOf(LR"("C:\x -Service\mwservice.exe" -Embedding)")).verb,
              EVerb::eV_None);

    const auto line = parseWinCommandLine(L" /QUIET --auth-group=-Service -unregserverperuser");
    EXPECT_EQ(line.verb, EVerb::eV_UnregServerPerUser);
    EXPECT_TRUE(line.quiet);
    EXPECT_EQ(line.authGroup, L"-Service");
    EXPECT_EQ(parseWinCommandLine(L"--auth-group=\"CAD users\" -Service").authGroup, L"CAD users");
    EXPECT_EQ(parseWinCommandLine(L"-Services").verb, EVerb::eV_None);
    EXPECT_FALSE(parseWinCommandLine(L"--auth-group= -Service").error.empty());
}
