// What the serving side of the bridge needs of an upstream MT server: one
// translation of one piece of text, or an UpstreamError that says why not.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace bridge {

// The kinds of open MT servers the bridge speaks to.
enum class UpstreamKind { Apertium, LibreTranslate, OpusMt, OpenAiChat };

// One upstream as the configuration file gives it.
struct UpstreamSettings {
    std::string name;  // the key in the configuration's "upstreams" object
    UpstreamKind kind = UpstreamKind::LibreTranslate;
    std::string url;      // base URL, e.g. "http://127.0.0.1:5000"
    std::string apiKey;   // LibreTranslate api_key, or the chat server's bearer key; may be empty
    std::string model;    // chat-completions model name; unused by the others
    std::chrono::milliseconds timeout{20000};   // below the engine's 30 s receive time-out
    std::chrono::milliseconds cooldown{30000};  // skipped this long after a connection-level failure
    std::size_t maxChars = 0;                   // 0: no limit; otherwise code points per call
};

// One way to serve a direction: an upstream and the language codes it uses.
struct RouteStep {
    std::string upstream;  // a key of "upstreams"
    std::string from;      // the upstream's code for the source language
    std::string to;        // the upstream's code for the target language
};

// Why an upstream gave no translation. status is what the bridge answers
// (400-599); reason is one ASCII line of at most 120 characters, e.g.
// "LibreTranslate at 127.0.0.1:5000 refused the connection".
class UpstreamError : public std::runtime_error {
  public:
    UpstreamError(int status, std::string reason, bool connectionLevel)
        : std::runtime_error(reason), status_(status), connectionLevel_(connectionLevel) {}
    int Status() const { return status_; }
    // Refused, unreachable, reset or timed out: the upstream is cooled down.
    bool ConnectionLevel() const { return connectionLevel_; }

  private:
    int status_;
    bool connectionLevel_;
};

class Upstream {
  public:
    virtual ~Upstream() = default;
    // "LibreTranslate at 127.0.0.1:5000": used in reasons, the log and /status.
    virtual const std::string& Describe() const = 0;
    // Translates UTF-8 text (no longer than the upstream's max_chars) between
    // the upstream's own language codes; unknown words come back as
    // "<unk> word </unk>" where the upstream reports them. Throws UpstreamError.
    virtual std::string Translate(std::string_view text, std::string_view from,
                                  std::string_view to) = 0;
};

// A translation and the upstream that gave it.
struct Translation {
    std::string text;
    std::string upstream;  // Describe() of the upstream that served it
};

// What /status shows of one upstream.
struct UpstreamState {
    std::string name;
    std::string description;
    std::string lastResult;  // "" before its first call, "ok", or the last failure's reason
    int lastStatus = 0;      // 200, or the status of the last failure
    bool coolingDown = false;
    std::uint64_t calls = 0;
    std::uint64_t failures = 0;
};

// The upstream side as the serving side sees it: translates a chunk for one of
// the six directions ("de-en", "en-ar", ...), trying that direction's route in
// order, splitting by each upstream's max_chars. Safe to call from several
// threads at once. Throws UpstreamError (the last failure) when no step served;
// a direction without a route is UpstreamError 404.
class Translator {
  public:
    virtual ~Translator() = default;
    virtual Translation Translate(std::string_view direction, std::string_view text) = 0;
    virtual std::vector<UpstreamState> Snapshot() const = 0;
};

}  // namespace bridge
