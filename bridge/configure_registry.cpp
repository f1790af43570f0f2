#include "bridge/configure_registry.h"

#include "config/registry.h"
#include "platform/com_server.h"
#include "server/guids.h"
#include "server/registry_paths.h"

namespace bridge {
namespace {

constexpr char kInstallLocValue[] = "DravikHybridInstallLoc";

std::optional<std::string> ReadString(REGSAM view, HKEY root, const std::string& path,
                                      const std::string& name) {
    Registry key(root, path, view);
    std::string value;
    if (!key.ReadString(name, value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::string> EngineRegistry::InstallLocation() const {
    return ReadString(view_.flag, HKEY_LOCAL_MACHINE, server::kServerKeyPath, kInstallLocValue);
}

std::optional<std::string> EngineRegistry::ReplacedRecord() const {
    return ReadString(view_.flag, HKEY_LOCAL_MACHINE, server::kServerKeyPath,
                      kReplacedInstallLocValue);
}

void EngineRegistry::Repoint(const std::string& folder,
                             const std::optional<std::string>& replaced) const {
    Registry key(HKEY_LOCAL_MACHINE, server::kServerKeyPath, view_.flag);
    // The record first: a failure between the two writes leaves the old
    // value in place, never a value nobody can put back.
    if (replaced) {
        key.WriteString(kReplacedInstallLocValue, *replaced);
    } else {
        key.DeleteValue(kReplacedInstallLocValue);
    }
    key.WriteString(kInstallLocValue, folder);
}

void EngineRegistry::Restore() const {
    Registry key(HKEY_LOCAL_MACHINE, server::kServerKeyPath, view_.flag);
    std::string replaced;
    if (key.ReadString(kReplacedInstallLocValue, replaced)) {
        key.WriteString(kInstallLocValue, replaced);
        key.DeleteValue(kReplacedInstallLocValue);
    } else {
        key.DeleteValue(kInstallLocValue);
    }
}

void EngineRegistry::ForgetRecord() const {
    Registry(HKEY_LOCAL_MACHINE, server::kServerKeyPath, view_.flag)
        .DeleteValue(kReplacedInstallLocValue);
}

std::string EngineRegistry::ServerProgram() const {
    const std::string classKey =
        "CLSID\\" + GuidToRegistryString(kClsidTranslationEngine) + "\\LocalServer32";
    const std::optional<std::string> command =
        ReadString(view_.flag, HKEY_CLASSES_ROOT, classKey, "");
    return command ? LocalPath(ProgramOfServerCommand(*command)) : std::string();
}

std::string ProgramOfServerCommand(const std::string& command) {
    const std::size_t start = command.find_first_not_of(' ');
    if (start == std::string::npos) {
        return {};
    }
    if (command[start] == '"') {
        const std::size_t end = command.find('"', start + 1);
        return end == std::string::npos ? std::string()
                                        : command.substr(start + 1, end - start - 1);
    }
    const std::size_t end = command.find_last_not_of(' ');
    return command.substr(start, end - start + 1);
}

}  // namespace bridge
