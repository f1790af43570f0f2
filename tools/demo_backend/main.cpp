// qn-demo-backend: a stand-in for the hybrid translation back end, serving the
// engine's six pipelines on 127.0.0.1 with small word lists.
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>

#include "tools/demo_backend/demo_service.h"
#include "tools/demo_backend/http_server.h"

namespace {

std::atomic<bool> stopRequested{false};

void OnSignal(int) {
    stopRequested = true;
}

constexpr char kUsage[] =
    "usage: qn-demo-backend [--port N] [--log] [--dictionaries DIR]\n"
    "  --port N            listen on 127.0.0.1:N (default 11000; 0 picks a free port)\n"
    "  --log               write a line per request to stderr\n"
    "  --dictionaries DIR  folder of the word lists <src>-<tgt>.tsv\n"
    "Stops cleanly on SIGINT or SIGTERM.\n";

bool ParsePort(const std::string& text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos || std::stoul(text) > 65535) {
        return false;
    }
    port = static_cast<std::uint16_t>(std::stoul(text));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint16_t port = 11000;
    bool log = false;
    std::string folder = QN_DEMO_DICTIONARY_DIR;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc) {
            if (!ParsePort(argv[++i], port)) {
                std::cerr << "qn-demo-backend: --port takes a number from 0 to 65535\n";
                return 2;
            }
        } else if (arg == "--log") {
            log = true;
        } else if (arg == "--dictionaries" && i + 1 < argc) {
            folder = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else {
            std::cerr << "qn-demo-backend: unknown argument \"" << arg << "\"\n" << kUsage;
            return 2;
        }
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    try {
        const demo_backend::DemoService service(folder);
        demo_backend::HttpServer server(port);
        std::cout << "qn-demo-backend: listening on 127.0.0.1:" << server.Port()
                  << " (words per direction: " << service.Summary() << ")" << std::endl;
        const std::size_t served = server.Run(
            stopRequested,
            [&service](std::string_view method, std::string_view target, std::string_view body) {
                return service.Handle(method, target, body);
            },
            log ? &std::cerr : nullptr);
        std::cout << "qn-demo-backend: stopped after " << served << " requests" << std::endl;
    } catch (const std::exception& error) {
        std::cerr << "qn-demo-backend: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
