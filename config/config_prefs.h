// Two-scope preferences: a per-user key that wins when it holds a value and a
// per-machine key behind it, plus the engine's one run-time setting, whether
// it supports technical dictionaries.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "config/registry.h"

// The key, under HKEY_LOCAL_MACHINE, of the translation server the engine
// belongs to; it holds the server-wide switches.
inline constexpr char kTranslationServerKeyPath[] = "Software\\Quillon\\TranslateSkyvale Server";
inline constexpr char kSupportsTechnicalDictionariesValue[] = "SupportsTechnicalDictionaries";

// "Software\Quillon\Configuration\<name>", or without the last part for an
// empty name.
std::string ConfigurationKeyPath(const std::string& name);
// The per-user counterpart of a configuration key path: the vendor word
// "Quillon" replaced by "Vorla" wherever it occurs.
std::string PerUserKeyPath(const std::string& machinePath);

// The file name of a program path without its folders and without the last
// extension: "C:\a.b\My.Engine.exe" gives "My.Engine".
std::string BaseNameFromModulePath(const std::string& modulePath);
// BaseNameFromModulePath of this program's own file.
std::string ModuleBaseName();

// Registry_Base over a per-user and a per-machine key of one configuration.
// Reads and listings take the per-user answer when there is one; writes go to
// the per-user key only; deletes touch both.
class ConfigPrefs : public Registry_Base {
  public:
    explicit ConfigPrefs(const std::string& configurationKeyPath);
    ~ConfigPrefs() override;

    const Registry& MachineKey() const { return machineKey_; }
    const Registry& UserKey() const { return userKey_; }

    bool ReadBytes(const std::string& name, DWORD& size, std::unique_ptr<BYTE[]>& data) override;
    bool ReadString(const std::string& name, std::string& value) override;
    bool ReadDword(const std::string& name, DWORD& value) override;
    bool ReadBool(const std::string& name, bool& value) override;
    void WriteBytes(const std::string& name, DWORD size, const BYTE* data) override;
    void WriteString(const std::string& name, const std::string& value) override;
    void WriteDword(const std::string& name, DWORD value) override;
    void WriteBool(const std::string& name, bool value) override;
    bool DeleteValue(const std::string& name) override;
    bool DeleteKey(const std::string& child) override;
    std::vector<std::string> ValueNamesWithPrefix(const std::string& prefix) override;
    std::vector<std::string> ValueNames() override;
    std::vector<std::string> SubKeyNames() override;

  private:
    // Declared in this order so that the per-user key is closed first.
    Registry machineKey_;
    Registry userKey_;
};

// The preferences of this program, named after its file: for "Vorla Hybrid
// Engine.exe", Software\Quillon\Configuration\Vorla Hybrid Engine per machine
// and Software\Vorla\Configuration\Vorla Hybrid Engine per user. The name is
// taken once per process.
class EngineConfig : public ConfigPrefs {
  public:
    EngineConfig();
};

// Both technical-dictionary flags, each read once and then kept: registry
// edits made later are not seen. A read abandoned by an exception leaves its
// flag unknown, so the next call reads again.
class TechnicalDictionarySupport {
  public:
    // `readEngineFlag` gives the engine's own preference; it is asked only
    // once the server flag is known to be on.
    TechnicalDictionarySupport(std::string serverKeyPath, std::function<bool()> readEngineFlag);

    // The server-wide switch (absent means off).
    bool ServerSupports();
    // On when the server supports it and the engine's preference (absent
    // means on) does not switch it off.
    bool Supports();

  private:
    std::mutex mutex_;
    std::string serverKeyPath_;
    std::function<bool()> readEngineFlag_;
    std::optional<bool> serverFlag_;
    std::optional<bool> engineFlag_;
};

// The engine's own preference, read from a fresh EngineConfig (default on).
bool ReadEngineTechnicalDictionaryPreference();

// The process's answers, read from the server key and EngineConfig.
bool ServerSupportsTechnicalDictionaries();
bool SupportsTechnicalDictionaries();
