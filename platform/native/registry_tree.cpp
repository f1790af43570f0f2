#include "platform/native/registry_tree.h"

#include <algorithm>
#include <cstdio>

#include "platform/registry.h"

namespace native_registry {
namespace {

constexpr std::string_view kHeader = "QN-REGISTRY 1";
constexpr std::string_view kPreamble =
    "; Registry of the native build. One [key] section per key, parents first;\n"
    "; values as \"name\"=\"text\", dword:00000001, hex:01,02 or hex(type):01,02;\n"
    "; @ is the default value. Rewritten whole on every change: edit only while\n"
    "; no program that uses it is running.\n";

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

const char kHexDigits[] = "0123456789abcdef";
const char kUpperHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& out, unsigned byte) {
    out += kHexDigits[(byte >> 4) & 0xF];
    out += kHexDigits[byte & 0xF];
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = Lower(c);
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Section names: printable ASCII stays, everything else (and the characters
// that delimit a section) becomes %XX, so any byte string survives a round trip.
bool NeedsPercent(unsigned char c) {
    return c < 0x20 || c > 0x7E || c == '%' || c == '[' || c == ']' || c == '\\';
}

void AppendKeyName(std::string& out, std::string_view name) {
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (NeedsPercent(c)) {
            out += '%';
            out += kUpperHexDigits[c >> 4];
            out += kUpperHexDigits[c & 0xF];
        } else {
            out += ch;
        }
    }
}

// Quoted names and texts: \\ and \" for the delimiters, \xHH for any byte that
// is not printable ASCII.
void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c > 0x7E) {
            out += "\\x";
            AppendHexByte(out, c);
        } else {
            out += ch;
        }
    }
    out += '"';
}

bool IsPlainString(const Value& value) {
    if (value.type != REG_SZ || value.data.empty() || value.data.back() != 0) {
        return false;
    }
    return std::find(value.data.begin(), value.data.end() - 1, BYTE{0}) == value.data.end() - 1;
}

void AppendValue(std::string& out, const Value& value) {
    if (value.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, value.name);
    }
    out += '=';
    if (IsPlainString(value)) {
        AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                           value.data.size() - 1));
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        char digits[9];
        const DWORD number =
            static_cast<DWORD>(value.data[0]) | static_cast<DWORD>(value.data[1]) << 8 |
            static_cast<DWORD>(value.data[2]) << 16 | static_cast<DWORD>(value.data[3]) << 24;
        std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
        out += "dword:";
        out += digits;
    } else {
        if (value.type == REG_BINARY) {
            out += "hex:";
        } else {
            char prefix[24];
            std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
            out += prefix;
        }
        for (std::size_t i = 0; i < value.data.size(); ++i) {
            if (i != 0) {
                out += ',';
            }
            AppendHexByte(out, value.data[i]);
        }
    }
    out += '\n';
}

void AppendKey(std::string& out, std::string& path, const Key& key) {
    const std::size_t parentLength = path.size();
    if (!path.empty()) {
        path += '\\';
        AppendKeyName(path, key.Name());
    } else {
        path = key.Name();  // a hive's name, always plain
    }
    out += '\n';
    out += '[';
    out += path;
    out += "]\n";
    for (const Value& value : key.Values()) {
        AppendValue(out, value);
    }
    for (const auto& child : key.Children()) {
        AppendKey(out, path, *child);
    }
    path.resize(parentLength);
}

// Reads one line's pieces left to right; every failure names the line.
class LineReader {
  public:
    LineReader(std::string_view text, std::size_t line) : text_(text), line_(line) {}

    bool AtEnd() const { return pos_ == text_.size(); }
    bool Take(std::string_view literal) {
        if (text_.substr(pos_, literal.size()) == literal) {
            pos_ += literal.size();
            return true;
        }
        return false;
    }
    void Expect(std::string_view literal, const char* what) {
        if (!Take(literal)) {
            Fail(std::string("expected ") + what);
        }
    }
    [[noreturn]] void Fail(const std::string& what) const { throw FormatError(line_, what); }

    std::string Quoted() {
        Expect("\"", "a quoted text");
        std::string out;
        while (true) {
            if (AtEnd()) {
                Fail("unterminated quoted text");
            }
            const char c = text_[pos_++];
            if (c == '"') {
                return out;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (AtEnd()) {
                Fail("unterminated escape");
            }
            const char escaped = text_[pos_++];
            if (escaped == '\\' || escaped == '"') {
                out += escaped;
            } else if (escaped == 'x') {
                out += static_cast<char>(HexByte());
            } else {
                Fail(std::string("unknown escape \\") + escaped);
            }
        }
    }

    unsigned HexByte() {
        if (text_.size() - pos_ < 2) {
            Fail("expected two hex digits");
        }
        const int high = HexDigitValue(text_[pos_]);
        const int low = HexDigitValue(text_[pos_ + 1]);
        if (high < 0 || low < 0) {
            Fail("expected two hex digits");
        }
        pos_ += 2;
        return static_cast<unsigned>(high * 16 + low);
    }

    std::vector<BYTE> HexBytes() {
        std::vector<BYTE> bytes;
        if (AtEnd()) {
            return bytes;
        }
        while (true) {
            bytes.push_back(static_cast<BYTE>(HexByte()));
            if (AtEnd()) {
                return bytes;
            }
            Expect(",", "a comma between hex bytes");
        }
    }

    DWORD HexNumber(std::size_t maxDigits) {
        DWORD number = 0;
        std::size_t digits = 0;
        while (!AtEnd() && HexDigitValue(text_[pos_]) >= 0 && digits < maxDigits) {
            number = number * 16 + static_cast<DWORD>(HexDigitValue(text_[pos_]));
            ++pos_;
            ++digits;
        }
        if (digits == 0) {
            Fail("expected a hex number");
        }
        return number;
    }

  private:
    std::string_view text_;
    std::size_t line_;
    std::size_t pos_ = 0;
};

std::vector<std::string> ParseSectionPath(std::string_view inner, std::size_t line) {
    std::vector<std::string> components;
    std::string current;
    for (std::size_t i = 0; i < inner.size(); ++i) {
        const char c = inner[i];
        if (c == '\\') {
            components.push_back(std::move(current));
            current.clear();
        } else if (c == '%') {
            if (i + 2 >= inner.size() || HexDigitValue(inner[i + 1]) < 0 ||
                HexDigitValue(inner[i + 2]) < 0) {
                throw FormatError(line, "bad %XX escape in key name");
            }
            const int high = HexDigitValue(inner[i + 1]);
            const int low = HexDigitValue(inner[i + 2]);
            current += static_cast<char>(high * 16 + low);
            i += 2;
        } else if (c == '[' || c == ']') {
            throw FormatError(line, "unescaped bracket in key name");
        } else {
            current += c;
        }
    }
    components.push_back(std::move(current));
    return components;
}

Value ParseValue(std::string_view lineText, std::size_t line) {
    LineReader reader(lineText, line);
    Value value;
    if (!reader.Take("@")) {
        value.name = reader.Quoted();
        if (value.name.empty()) {
            reader.Fail("the default value is written @, not \"\"");
        }
    }
    if (value.name.size() > kMaxValueNameBytes) {
        reader.Fail("value name too long");
    }
    reader.Expect("=", "= after the value name");
    if (reader.Take("dword:")) {
        const DWORD number = reader.HexNumber(8);
        value.type = REG_DWORD;
        value.data = {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8),
                      static_cast<BYTE>(number >> 16), static_cast<BYTE>(number >> 24)};
    } else if (reader.Take("hex:")) {
        value.type = REG_BINARY;
        value.data = reader.HexBytes();
    } else if (reader.Take("hex(")) {
        value.type = reader.HexNumber(8);
        reader.Expect("):", "): after the value type");
        value.data = reader.HexBytes();
    } else {
        const std::string text = reader.Quoted();
        value.type = REG_SZ;
        value.data.assign(text.begin(), text.end());
        value.data.push_back(0);
    }
    if (!reader.AtEnd()) {
        reader.Fail("unexpected text after the value");
    }
    return value;
}

}  // namespace

bool NamesEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

Key* Key::FindChild(std::string_view name) {
    for (const auto& child : children_) {
        if (NamesEqual(child->name_, name)) {
            return child.get();
        }
    }
    return nullptr;
}

const Key* Key::FindChild(std::string_view name) const {
    return const_cast<Key*>(this)->FindChild(name);
}

Key& Key::ChildOrNew(std::string_view name, bool* created) {
    Key* existing = FindChild(name);
    if (created != nullptr) {
        *created = existing == nullptr;
    }
    if (existing != nullptr) {
        return *existing;
    }
    children_.push_back(std::make_unique<Key>(std::string(name)));
    return *children_.back();
}

bool Key::RemoveChild(std::string_view name) {
    const auto it = std::find_if(children_.begin(), children_.end(),
                                 [&](const auto& child) { return NamesEqual(child->name_, name); });
    if (it == children_.end()) {
        return false;
    }
    children_.erase(it);
    return true;
}

Value* Key::FindValue(std::string_view name) {
    for (Value& value : values_) {
        if (NamesEqual(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

const Value* Key::FindValue(std::string_view name) const {
    return const_cast<Key*>(this)->FindValue(name);
}

void Key::SetValue(std::string_view name, DWORD type, std::vector<BYTE> data) {
    if (Value* existing = FindValue(name)) {
        existing->type = type;
        existing->data = std::move(data);
        return;
    }
    values_.push_back(Value{std::string(name), type, std::move(data)});
}

bool Key::RemoveValue(std::string_view name) {
    const auto it = std::find_if(values_.begin(), values_.end(),
                                 [&](const Value& value) { return NamesEqual(value.name, name); });
    if (it == values_.end()) {
        return false;
    }
    values_.erase(it);
    return true;
}

void Tree::AddStandardKeys() {
    localMachine.ChildOrNew("Software").ChildOrNew("Classes");
    currentUser.ChildOrNew("Software");
}

std::string FormatTree(const Tree& tree) {
    std::string out;
    out += kHeader;
    out += '\n';
    out += kPreamble;
    std::string path;
    AppendKey(out, path, tree.localMachine);
    AppendKey(out, path, tree.currentUser);
    return out;
}

Tree ParseTree(std::string_view text) {
    Tree tree;
    Key* current = nullptr;
    bool sawHeader = false;
    std::size_t line = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        ++line;
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view lineText = text.substr(pos, end - pos);
        pos = end + 1;
        if (!lineText.empty() && lineText.back() == '\r') {
            lineText.remove_suffix(1);
        }
        if (lineText.empty() || lineText.front() == ';') {
            continue;
        }
        if (!sawHeader) {
            if (lineText != kHeader) {
                throw FormatError(line, "not a registry store: the first line must be \"" +
                                            std::string(kHeader) + "\"");
            }
            sawHeader = true;
            continue;
        }
        if (lineText.front() == '[') {
            if (lineText.back() != ']') {
                throw FormatError(line, "a key section must end with ]");
            }
            const std::vector<std::string> components =
                ParseSectionPath(lineText.substr(1, lineText.size() - 2), line);
            if (components.front() == "HKEY_LOCAL_MACHINE") {
                current = &tree.localMachine;
            } else if (components.front() == "HKEY_CURRENT_USER") {
                current = &tree.currentUser;
            } else {
                throw FormatError(line, "unknown root key \"" + components.front() + "\"");
            }
            if (components.size() - 1 > kMaxKeyDepth) {
                throw FormatError(line,
                                  "key more than " + std::to_string(kMaxKeyDepth) + " levels deep");
            }
            for (std::size_t i = 1; i < components.size(); ++i) {
                if (components[i].empty() || components[i].size() > kMaxKeyNameBytes) {
                    throw FormatError(line, "empty or overlong key name");
                }
                current = &current->ChildOrNew(components[i]);
            }
            continue;
        }
        if (current == nullptr) {
            throw FormatError(line, "a value before the first key section");
        }
        Value value = ParseValue(lineText, line);
        current->SetValue(value.name, value.type, std::move(value.data));
    }
    return tree;
}

}  // namespace native_registry
