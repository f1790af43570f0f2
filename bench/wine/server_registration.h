// Registers the server executable for the life of the object, as an installer
// would, so that a host can create the engine by its ProgID.
#pragma once

#include <string>

namespace bench {

// A Unix path as Wine's drive Z: shows it; Windows paths are kept.
std::string WindowsPath(const std::string& path);

// Runs `exe` with one switch and waits; its exit code, or -1 when it could not start.
int RunWithSwitch(const std::string& exe, const std::string& switchText);

class ServerRegistration {
  public:
    // Runs "/RegServer"; Registered() tells whether it succeeded.
    explicit ServerRegistration(std::string exe);
    // Runs "/UnregServer" when the registration succeeded.
    ~ServerRegistration();
    ServerRegistration(const ServerRegistration&) = delete;
    ServerRegistration& operator=(const ServerRegistration&) = delete;

    bool Registered() const { return exitCode_ == 0; }
    int ExitCode() const { return exitCode_; }

  private:
    std::string exe_;
    int exitCode_;
};

}  // namespace bench
