#include "config/config_prefs.h"

#include <utility>

#include "platform/module.h"

namespace {

constexpr char kVendorWord[] = "Quillon";
constexpr char kPerUserVendorWord[] = "Vorla";

}  // namespace

std::string ConfigurationKeyPath(const std::string& name) {
    std::string path = std::string("Software\\") + kVendorWord + "\\Configuration";
    if (!name.empty()) {
        path += '\\';
        path += name;
    }
    return path;
}

std::string PerUserKeyPath(const std::string& machinePath) {
    std::string path = machinePath;
    const std::string word = kVendorWord;
    // Every occurrence, one in the configuration name included.
    for (std::size_t at = path.find(word); at != std::string::npos; at = path.find(word)) {
        path.replace(at, word.size(), kPerUserVendorWord);
    }
    return path;
}

std::string BaseNameFromModulePath(const std::string& modulePath) {
    std::string name = modulePath;
    if (const std::size_t slash = name.find_last_of('\\'); slash != std::string::npos) {
        name.erase(0, slash + 1);
    }
    if (const std::size_t dot = name.find_last_of('.'); dot != std::string::npos) {
        name.erase(dot);
    }
    return name;
}

std::string ModuleBaseName() {
    // Grows the buffer rather than work on a truncated path; Windows paths
    // end at 32767 characters.
    constexpr std::size_t kLongestPath = 32768;
    std::string path(MAX_PATH, '\0');
    while (true) {
        const DWORD length =
            GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= kLongestPath) {
            path.pop_back();  // the terminator of a truncated path
            break;
        }
        path.resize(path.size() * 2);
    }
    return BaseNameFromModulePath(path);
}

ConfigPrefs::ConfigPrefs(const std::string& configurationKeyPath)
    : machineKey_(HKEY_LOCAL_MACHINE, configurationKeyPath),
      userKey_(HKEY_CURRENT_USER, PerUserKeyPath(configurationKeyPath)) {}

ConfigPrefs::~ConfigPrefs() = default;

bool ConfigPrefs::ReadBytes(const std::string& name, DWORD& size, std::unique_ptr<BYTE[]>& data) {
    return userKey_.ReadBytes(name, size, data) || machineKey_.ReadBytes(name, size, data);
}

bool ConfigPrefs::ReadString(const std::string& name, std::string& value) {
    return userKey_.ReadString(name, value) || machineKey_.ReadString(name, value);
}

bool ConfigPrefs::ReadDword(const std::string& name, DWORD& value) {
    return userKey_.ReadDword(name, value) || machineKey_.ReadDword(name, value);
}

bool ConfigPrefs::ReadBool(const std::string& name, bool& value) {
    return userKey_.ReadBool(name, value) || machineKey_.ReadBool(name, value);
}

void ConfigPrefs::WriteBytes(const std::string& name, DWORD size, const BYTE* data) {
    userKey_.WriteBytes(name, size, data);
}

void ConfigPrefs::WriteString(const std::string& name, const std::string& value) {
    userKey_.WriteString(name, value);
}

void ConfigPrefs::WriteDword(const std::string& name, DWORD value) {
    userKey_.WriteDword(name, value);
}

void ConfigPrefs::WriteBool(const std::string& name, bool value) {
    userKey_.WriteBool(name, value);
}

// The per-machine key is usually not writable for the user; failing there
// must not keep the per-user value from going.
bool ConfigPrefs::DeleteValue(const std::string& name) {
    bool machineDone = false;
    try {
        machineDone = machineKey_.DeleteValue(name);
    } catch (...) {
    }
    const bool userDone = userKey_.DeleteValue(name);
    return machineDone || userDone;
}

bool ConfigPrefs::DeleteKey(const std::string& child) {
    bool machineDone = false;
    try {
        machineDone = machineKey_.DeleteKey(child);
    } catch (...) {
    }
    const bool userDone = userKey_.DeleteKey(child);
    return machineDone || userDone;
}

std::vector<std::string> ConfigPrefs::ValueNamesWithPrefix(const std::string& prefix) {
    std::vector<std::string> names = userKey_.ValueNamesWithPrefix(prefix);
    return names.empty() ? machineKey_.ValueNamesWithPrefix(prefix) : names;
}

std::vector<std::string> ConfigPrefs::ValueNames() {
    std::vector<std::string> names = userKey_.ValueNames();
    return names.empty() ? machineKey_.ValueNames() : names;
}

std::vector<std::string> ConfigPrefs::SubKeyNames() {
    std::vector<std::string> names = userKey_.SubKeyNames();
    return names.empty() ? machineKey_.SubKeyNames() : names;
}

namespace {

// Taken on the first construction that completes; an exception on the way
// (out of memory) leaves it to be taken again.
const std::string& ProgramConfigurationName() {
    static const std::string name = ModuleBaseName();
    return name;
}

}  // namespace

EngineConfig::EngineConfig() : ConfigPrefs(ConfigurationKeyPath(ProgramConfigurationName())) {}

TechnicalDictionarySupport::TechnicalDictionarySupport(std::string serverKeyPath,
                                                       std::function<bool()> readEngineFlag)
    : serverKeyPath_(std::move(serverKeyPath)), readEngineFlag_(std::move(readEngineFlag)) {}

bool TechnicalDictionarySupport::ServerSupports() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!serverFlag_) {
        Registry server(HKEY_LOCAL_MACHINE, serverKeyPath_);
        serverFlag_ = server.GetBool(kSupportsTechnicalDictionariesValue, false);
    }
    return *serverFlag_;
}

bool TechnicalDictionarySupport::Supports() {
    if (!ServerSupports()) {
        return false;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    if (!engineFlag_) {
        engineFlag_ = readEngineFlag_();
    }
    return *engineFlag_;
}

bool ReadEngineTechnicalDictionaryPreference() {
    EngineConfig config;
    return config.GetBool(kSupportsTechnicalDictionariesValue, true);
}

namespace {

TechnicalDictionarySupport& ProcessTechnicalDictionarySupport() {
    static TechnicalDictionarySupport support(kTranslationServerKeyPath,
                                              ReadEngineTechnicalDictionaryPreference);
    return support;
}

}  // namespace

bool ServerSupportsTechnicalDictionaries() {
    return ProcessTechnicalDictionarySupport().ServerSupports();
}

bool SupportsTechnicalDictionaries() {
    return ProcessTechnicalDictionarySupport().Supports();
}
