// CPU time of this process and of the server processes a host talks to, so
// that a figure can count the work on both sides of the process boundary.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/unique_handle.h"

namespace bench {

// User plus kernel time of every thread the process ran so far; nullopt when
// the system does not tell.
std::optional<double> CpuSeconds(HANDLE process);

// The running processes whose executable file is `exeName` (no folder, case
// folded), opened for querying their times.
class NamedProcesses {
  public:
    explicit NamedProcesses(const std::string& exeName);

    std::size_t Count() const { return processes_.size(); }
    // The sum over the processes; nullopt when none runs or one does not tell.
    std::optional<double> CpuSeconds() const;

  private:
    std::vector<UniqueHandle> processes_;
};

// How many processes run `exeName` now.
std::size_t CountProcesses(const std::string& exeName);

// The file name at the end of a Windows or Unix path.
std::string FileNameOf(const std::string& path);

}  // namespace bench
