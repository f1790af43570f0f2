#include "bridge/service.h"

namespace bridge {

int RunService(const std::vector<std::string>&, const TranslatorFactory&, std::ostream& err) {
    err << "qn-bridge: --service is for the Windows Service Control Manager; here run qn-bridge "
           "in the foreground, for example under systemd (bridge/linux/qn-bridge.service)\n";
    return kExitBadConfig;
}

}  // namespace bridge
