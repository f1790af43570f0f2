// The native registry's keys and values in memory, and their text form in the
// store file. Names are narrow bytes compared without regard to ASCII case and
// kept with the case they were created with; children and values keep the
// order in which they were added.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace native_registry {

// Windows allows 255 characters in a key name; in a double-byte ANSI code page
// their narrow form can take twice as many bytes.
inline constexpr std::size_t kMaxKeyNameBytes = 510;
// The same reasoning for value names (16383 characters).
inline constexpr std::size_t kMaxValueNameBytes = 32766;
// Keys lie at most this many levels below their hive, as on Windows. The
// limit also keeps the recursive writer and the keys' destructors within the
// stack.
inline constexpr std::size_t kMaxKeyDepth = 512;

bool NamesEqual(std::string_view a, std::string_view b);

struct Value {
    std::string name;  // empty for the key's default value
    DWORD type = 0;
    std::vector<BYTE> data;
};

class Key {
  public:
    explicit Key(std::string name) : name_(std::move(name)) {}

    const std::string& Name() const { return name_; }

    Key* FindChild(std::string_view name);
    const Key* FindChild(std::string_view name) const;
    // Returns the existing child of that name, or appends a new one.
    Key& ChildOrNew(std::string_view name, bool* created = nullptr);
    bool RemoveChild(std::string_view name);
    const std::vector<std::unique_ptr<Key>>& Children() const { return children_; }

    Value* FindValue(std::string_view name);
    const Value* FindValue(std::string_view name) const;
    // Replaces the data of an existing value (keeping its name's case) or
    // appends a new value.
    void SetValue(std::string_view name, DWORD type, std::vector<BYTE> data);
    bool RemoveValue(std::string_view name);
    const std::vector<Value>& Values() const { return values_; }

  private:
    std::string name_;
    std::vector<std::unique_ptr<Key>> children_;
    std::vector<Value> values_;
};

// The two stored hives. HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes.
enum class Hive { LocalMachine, CurrentUser };

struct Tree {
    Key localMachine{"HKEY_LOCAL_MACHINE"};
    Key currentUser{"HKEY_CURRENT_USER"};

    Key& Root(Hive hive) { return hive == Hive::LocalMachine ? localMachine : currentUser; }
    const Key& Root(Hive hive) const {
        return hive == Hive::LocalMachine ? localMachine : currentUser;
    }
    // The keys every Windows installation has: HKLM\Software\Classes and HKCU\Software.
    void AddStandardKeys();
};

// A store text that cannot be read: the line (1-based) and what is wrong there.
class FormatError : public std::runtime_error {
  public:
    FormatError(std::size_t line, const std::string& what)
        : std::runtime_error(what), line_(line) {}
    std::size_t Line() const { return line_; }

  private:
    std::size_t line_;
};

std::string FormatTree(const Tree& tree);
// Throws FormatError; an empty text is an empty tree.
Tree ParseTree(std::string_view text);

}  // namespace native_registry
