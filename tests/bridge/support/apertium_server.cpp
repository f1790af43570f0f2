#include "tests/bridge/support/apertium_server.h"

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "bridge/http_client.h"
#include "platform/sockets.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace bridge_test {
#ifndef _WIN32
namespace {

constexpr const char* kApy = "/usr/bin/apertium-apy";
constexpr const char* kModes = "/usr/share/apertium/modes";
constexpr const char* kPairMode = "/usr/share/apertium/modes/spa-eng.mode";

// APy listens on every interface and has no option to choose one: its server
// object's bind is wrapped so that it takes 127.0.0.1 alone.
constexpr const char* kLoopbackOnly =
    "import sys\n"
    "import tornado.httpserver\n"
    "from apertium_apy import apy\n"
    "bind = tornado.httpserver.HTTPServer.bind\n"
    "tornado.httpserver.HTTPServer.bind = lambda self, port, address=None, *rest, **named: "
    "bind(self, port, '127.0.0.1', *rest, **named)\n"
    "sys.argv[0] = 'apertium-apy'\n"
    "apy.main()\n";

// The interpreter APy's own launcher names on its first line.
std::string ApyInterpreter() {
    std::ifstream launcher(kApy);
    std::string line;
    std::getline(launcher, line);
    return line.rfind("#!", 0) == 0 ? line.substr(2) : "/usr/bin/python3";
}

int FreePort() {
    net::StartSockets();
    const net::Socket probe = net::CreateTcpSocket();
    if (!probe || !net::BindLoopback(probe, 0)) {
        throw std::runtime_error("no free port on 127.0.0.1");
    }
    return net::LocalPort(probe);
}

}  // namespace
#endif

std::string ApertiumServer::MissingReason() {
#ifdef _WIN32
    return "the real Apertium APy runs in the native builds only";
#else
    if (access(kApy, X_OK) != 0) {
        return "apertium-apy is not installed (Debian package apertium-apy)";
    }
    if (access(kPairMode, R_OK) != 0) {
        return "the Spanish-English pair is not installed (Debian package apertium-eng-spa)";
    }
    return {};
#endif
}

#ifdef _WIN32
ApertiumServer::ApertiumServer() {
    throw std::runtime_error(MissingReason());
}
ApertiumServer::~ApertiumServer() = default;
void ApertiumServer::Stop() {}
#else
ApertiumServer::ApertiumServer() {
    port_ = FreePort();
    const std::string interpreter = ApyInterpreter();
    const std::string port = std::to_string(port_);
    pid_ = fork();
    if (pid_ < 0) {
        throw std::runtime_error("cannot start apertium-apy");
    }
    if (pid_ == 0) {
        // APy ends with the test, also when the test dies.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int quiet = open("/dev/null", O_RDWR);
        dup2(quiet, 0);
        dup2(quiet, 1);
        dup2(quiet, 2);
        execl(interpreter.c_str(), interpreter.c_str(), "-c", kLoopbackOnly, "-p", port.c_str(),
              kModes, static_cast<char*>(nullptr));
        _exit(127);
    }
    // Ready once it answers; its first start takes about a second.
    const auto client = bridge::MakeHttpClient();
    bridge::HttpRequest probe;
    probe.method = "GET";
    probe.url = Url() + "/listPairs";
    probe.timeout = std::chrono::milliseconds(2000);
    for (int attempt = 0; attempt < 300; ++attempt) {
        if (client->Send(probe).status == 200) {
            return;
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("apertium-apy ended before it answered");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    Stop();
    throw std::runtime_error("apertium-apy did not answer within 30 s");
}

ApertiumServer::~ApertiumServer() {
    Stop();
}

void ApertiumServer::Stop() {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGTERM);
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}
#endif

}  // namespace bridge_test
