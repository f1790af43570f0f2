// Registry key wrappers: the one road from the engine to the registry. One
// way of answering per kind of operation:
// - Reads and listings never throw: a key or value that is missing,
//   unreadable or malformed reads as absent (false, the default, an empty
//   list).
// - Writes return nothing and throw on any failure: RegistryKeyMissing when
//   the key cannot be opened or created for writing (opened on the first
//   write), SystemErrorException with the status when the value is not stored.
// - Deletes return whether something went away (false for a missing value or
//   child) and throw like writes on any other failure.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/unique_hkey.h"
#include "text/exceptions.h"

// A key path that could not be opened or created for writing. Message() is
// the path below the root, unchanged.
class RegistryKeyMissing : public QuillonException {
  public:
    explicit RegistryKeyMissing(std::string path);
    const std::string& Path() const { return path_; }
    std::string Message() const override;

  private:
    std::string path_;
};

// The operations every settings store offers, whatever keys lie behind it.
// Names and texts are narrow (ANSI) strings.
class Registry_Base {
  public:
    virtual ~Registry_Base() = default;

    // A REG_BINARY value of at least one byte; the caller owns `data`.
    virtual bool ReadBytes(const std::string& name, DWORD& size, std::unique_ptr<BYTE[]>& data) = 0;
    // A REG_SZ value without its terminating zero.
    virtual bool ReadString(const std::string& name, std::string& value) = 0;
    // A REG_DWORD value.
    virtual bool ReadDword(const std::string& name, DWORD& value) = 0;
    // A REG_DWORD value; any number but 0 is true.
    virtual bool ReadBool(const std::string& name, bool& value) = 0;
    // A REG_BINARY value; `data` may be null only when `size` is 0.
    virtual void WriteBytes(const std::string& name, DWORD size, const BYTE* data) = 0;
    // A REG_SZ value, stored with its terminating zero.
    virtual void WriteString(const std::string& name, const std::string& value) = 0;
    virtual void WriteDword(const std::string& name, DWORD value) = 0;
    // A REG_DWORD value of 1 or 0.
    virtual void WriteBool(const std::string& name, bool value) = 0;
    virtual bool DeleteValue(const std::string& name) = 0;
    // Deletes a child key with everything beneath it; an empty name deletes
    // nothing and gives false.
    virtual bool DeleteKey(const std::string& child) = 0;
    // Value names whose beginning equals `prefix` without regard to case.
    virtual std::vector<std::string> ValueNamesWithPrefix(const std::string& prefix) = 0;
    virtual std::vector<std::string> ValueNames() = 0;
    virtual std::vector<std::string> SubKeyNames() = 0;

    // The value read by ReadBool, or `defaultValue` when there is none.
    bool GetBool(const std::string& name, bool defaultValue);
    // The value read by ReadString, or `defaultValue` when there is none.
    std::string GetString(const std::string& name, const char* defaultValue);
};

// One key: a predefined root plus a path below it. Opened lazily, read-only
// for reads and listings, with create rights for the first write or delete.
class Registry : public Registry_Base {
  public:
    // `view` (KEY_WOW64_64KEY or KEY_WOW64_32KEY) picks the registry view of
    // one width on Windows; 0 is the view of the program's own width.
    Registry(HKEY root, std::string path, REGSAM view = 0);
    ~Registry() override;
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    HKEY Root() const { return root_; }
    REGSAM View() const { return view_; }
    const std::string& Path() const { return path_; }
    bool IsOpen() const { return static_cast<bool>(handle_); }
    bool IsWritable() const { return writable_; }
    void Close();

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
    bool OpenForReading();
    void OpenForWriting();
    void SetValue(const std::string& name, DWORD type, const BYTE* data, DWORD size);
    // Whether a delete that gave `status` removed something; throws for a
    // failure other than a missing name.
    static bool Deleted(const char* function, LONG status);
    std::vector<std::string> ListValueNames(const std::string* prefix);

    HKEY root_;
    REGSAM view_ = 0;
    UniqueHkey handle_;
    std::string path_;
    bool writable_ = false;
};

// A named child of another key. Independent of its parent once made: it
// neither opens nor needs the parent's key.
class SubKey : public Registry {
  public:
    SubKey(const Registry& parent, const std::string& child);
    ~SubKey() override;
};
