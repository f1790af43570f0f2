// LogFile: the bridge's log kept in one file of bounded size, for a bridge
// with no console (the Windows service). Written as a stream buffer; when the
// file passes its cap the oldest lines give way: the newest half is kept,
// starting at a line.
#pragma once

#include <cstdint>
#include <fstream>
#include <mutex>
#include <streambuf>
#include <string>
#include <string_view>

namespace bridge {

class LogFile : public std::streambuf {
  public:
    // Opens `path` for appending, creating its folder and the file; throws
    // std::runtime_error naming the path when it cannot.
    LogFile(std::string path, std::uint64_t maxBytes);

    const std::string& Path() const { return path_; }
    // A new cap, applied at once.
    void SetMaxBytes(std::uint64_t maxBytes);

  protected:
    std::streamsize xsputn(const char* data, std::streamsize size) override;
    int_type overflow(int_type c) override;
    int sync() override;

  private:
    // Writes the whole lines of pending_ (everything with `all`), then trims.
    void WriteLines(bool all);
    void TrimIfOver();

    const std::string path_;
    std::uint64_t maxBytes_;
    std::mutex mutex_;
    std::ofstream file_;
    std::uint64_t size_ = 0;
    std::string pending_;  // text not yet ended by a line break
};

// What is left of a log `text` over `maxBytes`: its newest half at most,
// starting after a line break (nothing when no line break falls in it).
std::string_view KeptTail(std::string_view text, std::uint64_t maxBytes);

}  // namespace bridge
