#include "tools/host/input_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>

#include "tools/host/utf8_text.h"

namespace host {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

bool ReadBytes(const std::string& name, std::istream& standardInput, std::string& bytes,
               std::string& error) {
    if (name == "-") {
        bytes.assign(std::istreambuf_iterator<char>(standardInput),
                     std::istreambuf_iterator<char>());
        if (standardInput.bad()) {
            error = "cannot read standard input";
            return false;
        }
        return true;
    }
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name.c_str(), "rb"));
    if (!file) {
        error = "cannot read \"" + name + "\": " + std::strerror(errno);
        return false;
    }
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        bytes.append(buffer, got);
    }
    if (std::ferror(file.get())) {
        // A folder opens on some systems and fails on the first read.
        error = "cannot read \"" + name + "\": " +
                (errno != 0 ? std::string(std::strerror(errno)) : std::string("read error"));
        return false;
    }
    return true;
}

}  // namespace

bool ReadInputText(const std::string& name, std::istream& standardInput, std::u16string& text,
                   std::string& error) {
    std::string bytes;
    if (!ReadBytes(name, standardInput, bytes, error)) {
        return false;
    }
    const std::string what = name == "-" ? std::string("standard input") : "\"" + name + "\"";
    DecodeFailure failure;
    std::optional<DecodedText> decoded = DecodeUtf8Strict(bytes, &failure);
    if (!decoded) {
        error = what + " is not UTF-8 text (byte " + std::to_string(failure.offset) + "); " +
                failure.hint;
        return false;
    }
    // The engine reads a chunk only up to its first NUL, and a chunk that
    // starts with one ends the job: such text cannot be translated whole.
    if (const std::size_t nul = bytes.find('\0'); nul != std::string::npos) {
        error = what + " holds a NUL character (byte " + std::to_string(nul) + "); " +
                (LooksLikeUtf16(bytes) ? "it looks like UTF-16; save it as UTF-8"
                                       : "remove it and try again");
        return false;
    }
    text = std::move(decoded->text);
    return true;
}

}  // namespace host
