// End to end: the host tool's translate command drives the registered
// out-of-process server, whose back end on the engine's port is the native
// qn-bridge in front of a real Apertium APy (with_native_bridge.sh starts both
// around this program; it-en goes to APy's Spanish-English pair). APy marks
// the unknown word, the bridge turns the mark into the engine's, and the
// engine removes it: the host reads the word bare.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tests/server/server_process.h"
#include "tools/host/exit_codes.h"
#include "tools/host/host_tool.h"

namespace {

std::string ServerPath() {
    std::string path = std::string("Z:") + QN_SERVER_EXE;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

TEST(BridgeEndToEnd, HostTranslatesThroughTheServerAndTheNativeBridgeWithApertium) {
    if (const char* why = std::getenv("QN_BRIDGE_E2E_SKIP")) {
        GTEST_SKIP() << why;
    }
    const ProcessResult registered = RunProcess(ServerPath(), "/RegServer");
    ASSERT_EQ(registered.exitCode, 0) << registered.errorOutput;
    std::istringstream in("El perro come una manzana zorblax en la casa.\n\nHola zorblax\n");
    std::ostringstream out;
    std::ostringstream err;
    host::HostIo io{in, out, err, false};
    const int code = host::RunHost({"translate", "--from", "it", "--to", "en"}, io);
    RunProcess(ServerPath(), "/UnregServer");
    EXPECT_EQ(code, host::kExitOk) << err.str();
    EXPECT_EQ(out.str(), "The dog eats an apple zorblax in the house.\n\nHello zorblax\n");
}

}  // namespace
