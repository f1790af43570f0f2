// Runs the test back end by hand: qn-test-backend [--port N] [--fault NAME]
// Serves until Enter is pressed (or standard input ends).

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tools/backend/fault_names.h"
#include "tools/backend/test_backend.h"

namespace {

int Usage() {
    std::cerr << "usage: qn-test-backend [--port N] [--fault NAME]\n"
              << "  N: 1-65535, default 11000 (0 picks a free port)\n"
              << "  NAME: " << test_backend::AllFaultNames() << "\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    long port = 11000;
    test_backend::Fault fault = test_backend::Fault::None;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--port" && i + 1 < argc) {
            char* end = nullptr;
            port = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || port < 0 || port > 65535) {
                return Usage();
            }
        } else if (argument == "--fault" && i + 1 < argc) {
            std::optional<test_backend::Fault> named = test_backend::FaultFromName(argv[++i]);
            if (!named) {
                return Usage();
            }
            fault = *named;
        } else {
            return Usage();
        }
    }
    try {
        test_backend::TestBackend backend(static_cast<std::uint16_t>(port), fault);
        std::cout << "Test back end on 127.0.0.1:" << backend.Port()
                  << " (fault: " << test_backend::FaultName(fault) << "). Press Enter to stop."
                  << std::endl;
        std::string line;
        std::getline(std::cin, line);
        std::cout << backend.RequestCount() << " request(s) served." << std::endl;
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    return 0;
}
