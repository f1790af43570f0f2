// The engine's registry entries that `qn-bridge configure` reads and changes,
// in one registry view: the back end's install folder, the record of the
// value the bridge replaced there, and the registered engine server.
#pragma once

#include <optional>
#include <string>

#include "bridge/configure_system.h"

namespace bridge {

// Beside the install folder: the value the bridge replaced, put back by
// unconfigure. Absent when there was none or the value is not the bridge's.
inline constexpr char kReplacedInstallLocValue[] = "QnBridgeReplacedInstallLoc";

class EngineRegistry {
  public:
    explicit EngineRegistry(RegistryView view) : view_(view) {}

    const RegistryView& View() const { return view_; }

    // DravikHybridInstallLoc; nullopt when it is not set.
    std::optional<std::string> InstallLocation() const;
    std::optional<std::string> ReplacedRecord() const;

    // Points the install folder at `folder`, first recording `replaced`
    // (nullopt: there was nothing, and no record is left). Throws the
    // registry wrapper's exceptions.
    void Repoint(const std::string& folder, const std::optional<std::string>& replaced) const;
    // Puts the recorded value back, or removes the value when there is no
    // record, and drops the record.
    void Restore() const;
    // Drops the record alone.
    void ForgetRecord() const;

    // The program LocalServer32 names for the engine's class; empty when the
    // class is not registered in this view.
    std::string ServerProgram() const;

  private:
    RegistryView view_;
};

// The program of a LocalServer32 value: the quoted path, or the whole value
// when it is not quoted.
std::string ProgramOfServerCommand(const std::string& command);

}  // namespace bridge
