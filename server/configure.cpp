#include "server/configure.h"

#include <string>

#include "config/registry.h"
#include "platform/find_handle.h"
#include "platform/module.h"
#include "server/registry_paths.h"

namespace server {
namespace {

constexpr char kInstallFolderValue[] = "DravikHybridInstallLoc";
constexpr char kDefaultInstallFolder[] = "C:\\Dravik";
constexpr char kModelsFolder[] = "\\DravikHMT\\Models\\";
constexpr char kProgIdPrefix[] = "QNDravikHybridTranslationEngine";

// Any directory entry of exactly this name counts: folder or file, empty or not.
bool PathExists(const std::string& path) {
    WIN32_FIND_DATAA found;
    return static_cast<bool>(FindHandle(FindFirstFileA(path.c_str(), &found)));
}

}  // namespace

void Configure() {
    std::string modelsPath;
    {
        Registry serverKey(HKEY_LOCAL_MACHINE, kServerKeyPath);
        modelsPath = serverKey.GetString(kInstallFolderValue, kDefaultInstallFolder);
    }
    // Appended as it stands: a folder ending in a backslash gives a doubled one.
    modelsPath += kModelsFolder;

    Registry engines(HKEY_LOCAL_MACHINE, kEnginesKeyPath);
    for (const std::string& name : engines.SubKeyNames()) {
        SubKey engine(engines, name);
        const std::string progId = engine.GetString("ProgID", "");
        if (progId.rfind(kProgIdPrefix, 0) != 0) {
            continue;  // another program's engine
        }
        const std::string modelFolder = modelsPath + engine.GetString("SourceLanguage", "") + "-" +
                                        engine.GetString("TranslationLanguage", "");
        engine.WriteBool("Suppress", !PathExists(modelFolder));
    }
}

}  // namespace server
