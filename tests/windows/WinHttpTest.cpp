// The Windows build's own parts of the HTTP client: the system proxy from WinHTTP's
// configuration.
#include "NetTestCommon.h"
#include "NetTestServers.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winhttp.h>

namespace MW::Test {
namespace {

TEST(NetWinHttp, Placeholder) {}

} // namespace
} // namespace MW::Test
