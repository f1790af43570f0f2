// ApertiumServer: a real Apertium APy for a test, started on a free port of
// 127.0.0.1 with the installed language pairs and stopped by its process id.
// Natively only; Debian's apertium-apy and apertium-eng-spa provide it.
#pragma once

#include <string>

namespace bridge_test {

class ApertiumServer {
  public:
    // Why APy cannot run here (not installed, no spa-eng pair, Windows), or "".
    static std::string MissingReason();

    // Starts APy and waits until it answers; throws std::runtime_error.
    ApertiumServer();
    ~ApertiumServer();
    ApertiumServer(const ApertiumServer&) = delete;
    ApertiumServer& operator=(const ApertiumServer&) = delete;

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

  private:
    void Stop();

    int pid_ = -1;
    int port_ = 0;
};

}  // namespace bridge_test
