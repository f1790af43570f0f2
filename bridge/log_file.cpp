#include "bridge/log_file.h"

#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace bridge {

std::string_view KeptTail(std::string_view text, std::uint64_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    const std::size_t start = text.size() - static_cast<std::size_t>(maxBytes / 2);
    if (text[start - 1] == '\n') {
        return text.substr(start);
    }
    const std::size_t lineEnd = text.find('\n', start);
    return lineEnd == std::string_view::npos ? std::string_view() : text.substr(lineEnd + 1);
}

LogFile::LogFile(std::string path, std::uint64_t maxBytes)
    : path_(std::move(path)), maxBytes_(maxBytes) {
    std::error_code ignored;  // a folder that cannot be made shows in the open below
    const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, ignored);
    }
    file_.open(path_, std::ios::binary | std::ios::app);
    if (!file_) {
        throw std::runtime_error("cannot write the log file " + path_);
    }
    const std::uintmax_t size = std::filesystem::file_size(path_, ignored);
    size_ = ignored ? 0 : size;
    std::lock_guard<std::mutex> lock(mutex_);
    TrimIfOver();
}

void LogFile::SetMaxBytes(std::uint64_t maxBytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    maxBytes_ = maxBytes;
    TrimIfOver();
}

std::streamsize LogFile::xsputn(const char* data, std::streamsize size) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.append(data, static_cast<std::size_t>(size));
    WriteLines(false);
    return size;
}

LogFile::int_type LogFile::overflow(int_type c) {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        const char one = traits_type::to_char_type(c);
        xsputn(&one, 1);
    }
    return traits_type::not_eof(c);
}

int LogFile::sync() {
    std::lock_guard<std::mutex> lock(mutex_);
    WriteLines(true);
    return 0;
}

void LogFile::WriteLines(bool all) {
    // rfind's npos + 1 is 0: no whole line yet.
    const std::size_t end = all ? pending_.size() : pending_.rfind('\n') + 1;
    if (end == 0) {
        return;
    }
    if (!file_.is_open()) {
        // A trim that could not reopen the file: try again with each line.
        file_.clear();
        file_.open(path_, std::ios::binary | std::ios::app);
    }
    file_.write(pending_.data(), static_cast<std::streamsize>(end));
    file_.flush();
    if (file_) {
        size_ += end;
    }
    file_.clear();  // a full disk loses lines, never the bridge
    pending_.erase(0, end);
    TrimIfOver();
}

void LogFile::TrimIfOver() {
    if (size_ <= maxBytes_) {
        return;
    }
    file_.close();
    std::string text;
    {
        std::ifstream old(path_, std::ios::binary);
        std::ostringstream whole;
        whole << old.rdbuf();
        text = whole.str();
    }
    const std::string_view kept = KeptTail(text, maxBytes_);
    {
        std::ofstream rewritten(path_, std::ios::binary | std::ios::trunc);
        rewritten.write(kept.data(), static_cast<std::streamsize>(kept.size()));
    }
    size_ = kept.size();
    file_.clear();
    file_.open(path_, std::ios::binary | std::ios::app);
}

}  // namespace bridge
