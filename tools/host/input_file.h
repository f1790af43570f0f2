// The translate command's input: a UTF-8 file or standard input.
#pragma once

#include <istream>
#include <string>

namespace host {

// Reads and decodes `name` ("-" reads `standardInput`). False with a message
// for a person when the file cannot be read or is not UTF-8 text.
bool ReadInputText(const std::string& name, std::istream& standardInput, std::u16string& text,
                   std::string& error);

}  // namespace host
