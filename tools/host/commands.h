// The tool's commands; each reports to the streams and returns an exit code.
#pragma once

#include "tools/host/command_line.h"
#include "tools/host/host_tool.h"

namespace host {

int RunEngines(HostIo& io);
int RunFeatures(const HostOptions& options, HostIo& io);
int RunTranslate(const HostOptions& options, HostIo& io);
int RunCheck(HostIo& io);

// "qn-host: " + message + line end, on stderr.
void Complain(HostIo& io, const std::string& message);

}  // namespace host
