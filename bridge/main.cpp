// qn-bridge: serves the translation engine's pipelines through open MT servers,
// from a prompt, under systemd or as a Windows service (--service first).
#include <iostream>
#include <string>
#include <vector>

#include "bridge/command_line.h"
#include "bridge/run_bridge.h"
#include "bridge/service.h"
#include "bridge/stop_signal.h"
#include "bridge/upstream_pool.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const bridge::TranslatorFactory makeTranslator =
        [](const std::vector<bridge::UpstreamSettings>& upstreams,
           const std::map<std::string, std::vector<bridge::RouteStep>>& routes) {
            return bridge::MakeTranslator(upstreams, routes);
        };
    if (!args.empty() && args[0] == bridge::kServiceArgument) {
        return bridge::RunService({args.begin() + 1, args.end()}, makeTranslator, std::cerr);
    }
    return bridge::RunBridge(args, std::cout, std::cerr, makeTranslator,
                             bridge::InstallStopHandlers());
}
