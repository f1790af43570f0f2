#include "tools/host/engine_registry.h"

#include "config/registry.h"
#include "platform/find_handle.h"
#include "platform/module.h"
#include "server/registry_paths.h"

namespace host {
namespace {

constexpr char kInstallFolderValue[] = "DravikHybridInstallLoc";
constexpr char kDefaultInstallFolder[] = "C:\\Dravik";

}  // namespace

bool EngineEntry::IsThisProgram() const {
    return progId.rfind(kEngineProgIdPrefix, 0) == 0;
}

EngineList ReadEngineList() {
    EngineList list;
    Registry engines(HKEY_LOCAL_MACHINE, server::kEnginesKeyPath);
    const std::vector<std::string> names = engines.SubKeyNames();
    list.keyPresent = engines.IsOpen();
    for (const std::string& name : names) {
        SubKey key(engines, name);
        EngineEntry entry;
        entry.name = name;
        entry.progId = key.GetString("ProgID", "");
        entry.source = key.GetString("SourceLanguage", "");
        entry.target = key.GetString("TranslationLanguage", "");
        DWORD suppress = 0;
        if (key.ReadDword("Suppress", suppress)) {
            entry.suppress = suppress;
        }
        list.entries.push_back(std::move(entry));
    }
    return list;
}

const EngineEntry* FindEngine(const EngineList& list, std::string_view source,
                              std::string_view target) {
    const EngineEntry* found = nullptr;
    for (const EngineEntry& entry : list.entries) {
        if (entry.source != source || entry.target != target || entry.progId.empty()) {
            continue;
        }
        if (entry.IsThisProgram()) {
            return &entry;
        }
        if (found == nullptr) {
            found = &entry;
        }
    }
    return found;
}

std::string BackendInstallFolder() {
    Registry serverKey(HKEY_LOCAL_MACHINE, server::kServerKeyPath);
    return serverKey.GetString(kInstallFolderValue, kDefaultInstallFolder);
}

std::string ModelFolder(const std::string& installFolder, std::string_view source,
                        std::string_view target) {
    // Joined as it stands, like Configure: a final backslash is doubled.
    return installFolder + "\\DravikHMT\\Models\\" + std::string(source) + "-" +
           std::string(target);
}

bool ModelFolderExists(const std::string& path) {
    WIN32_FIND_DATAA found;
    return static_cast<bool>(FindHandle(FindFirstFileA(path.c_str(), &found)));
}

}  // namespace host
