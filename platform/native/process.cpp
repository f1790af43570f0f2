#include "platform/process.h"

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string ReadCommandLine() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string line;
    size_t start = 0;
    while (start < raw.size()) {
        size_t end = raw.find('\0', start);
        if (end == std::string::npos) {
            end = raw.size();
        }
        const std::string argument = raw.substr(start, end - start);
        if (!line.empty()) {
            line += ' ';
        }
        if (argument.find(' ') != std::string::npos) {
            line += '"' + argument + '"';
        } else {
            line += argument;
        }
        start = end + 1;
    }
    return line;
}

}  // namespace

LPSTR GetCommandLineA() {
    static std::string line = ReadCommandLine();
    return line.data();
}
