// qn-bridge: serves the translation engine's pipelines through open MT servers.
#include <iostream>
#include <string>
#include <vector>

#include "bridge/run_bridge.h"
#include "bridge/stop_signal.h"
#include "bridge/upstream_pool.h"

int main(int argc, char** argv) {
    const std::atomic<bool>& stop = bridge::InstallStopHandlers();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return bridge::RunBridge(
        args, std::cout, std::cerr,
        [](const std::vector<bridge::UpstreamSettings>& upstreams,
           const std::map<std::string, std::vector<bridge::RouteStep>>& routes) {
            return bridge::MakeTranslator(upstreams, routes);
        },
        stop);
}
